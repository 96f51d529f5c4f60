#include "engines/document/rtftext.h"

#include <QHash>
#include <QSet>
#include <QStringDecoder>
#include <QVector>
#include <cctype>
#include <optional>

namespace {

// Groups whose text is not part of the document's body.
const QSet<QByteArray> hiddenGroups{"fonttbl",    "colortbl",
                                    "stylesheet", "info",
                                    "pict",       "object",
                                    "header",     "headerl",
                                    "headerr",    "headerf",
                                    "footer",     "footerl",
                                    "footerr",    "footerf",
                                    "fldinst",    "themedata",
                                    "listtable",  "listoverridetable",
                                    "rsidtbl",    "generator",
                                    "xmlnstbl",   "filetbl",
                                    "revtbl",     "latentstyles",
                                    "datastore",  "colorschememapping",
                                    "NeXTGraphic"};

const QHash<QByteArray, QString> wordText{
    {"par", QStringLiteral("\n")},      {"line", QStringLiteral("\n")},   {"tab", QStringLiteral("\t")},
    {"emdash", QStringLiteral("—")},    {"endash", QStringLiteral("–")},  {"bullet", QStringLiteral("•")},
    {"lquote", QStringLiteral("‘")},    {"rquote", QStringLiteral("’")},  {"ldblquote", QStringLiteral("“")},
    {"rdblquote", QStringLiteral("”")}, {"emspace", QStringLiteral(" ")}, {"enspace", QStringLiteral(" ")},
};

class RtfReader
{
  public:
    explicit RtfReader(const QByteArray& rtf) : m_in(rtf), m_decoder("windows-1252") {}

    QString text()
    {
        m_states.append(State{});
        while (m_at < m_in.size()) {
            const char c = m_in[m_at++];
            if (c == '{') {
                m_states.append(m_states.last());
            } else if (c == '}') {
                flushBytes();
                if (m_states.size() > 1) m_states.removeLast();
            } else if (c == '\\') {
                control();
            } else if (c != '\r' && c != '\n') {
                byte(c);
            }
        }
        flushBytes();
        return m_out;
    }

  private:
    struct State
    {
        bool hidden = false;
        int skipAfterUnicode = 1; // \ucN: how many fallback characters follow each \u
    };

    bool hidden() const { return m_states.last().hidden; }

    void byte(char c)
    {
        if (m_pendingSkip > 0) {
            --m_pendingSkip;
            return;
        }
        if (!hidden()) m_bytes.append(c);
    }

    void put(const QString& text)
    {
        flushBytes();
        if (!hidden()) m_out += text;
    }

    void flushBytes()
    {
        if (m_bytes.isEmpty()) return;
        m_out += m_decoder.decode(m_bytes);
        m_bytes.clear();
    }

    void control()
    {
        if (m_at >= m_in.size()) return;
        const char c = m_in[m_at];
        if (!std::isalpha(uchar(c))) {
            ++m_at;
            symbol(c);
            return;
        }
        QByteArray word;
        while (m_at < m_in.size() && std::isalpha(uchar(m_in[m_at])))
            word += m_in[m_at++];
        std::optional<int> param;
        const qsizetype numberStart = m_at;
        if (m_at < m_in.size() && m_in[m_at] == '-') ++m_at;
        while (m_at < m_in.size() && std::isdigit(uchar(m_in[m_at])))
            ++m_at;
        if (m_at > numberStart) param = m_in.mid(numberStart, m_at - numberStart).toInt();
        if (m_at < m_in.size() && m_in[m_at] == ' ') ++m_at;
        controlWord(word, param);
    }

    void symbol(char c)
    {
        switch (c) {
        case '\'':
            if (m_at + 2 <= m_in.size()) {
                bool ok = false;
                const int value = m_in.mid(m_at, 2).toInt(&ok, 16);
                m_at += 2;
                if (ok) byte(char(value));
            }
            return;
        case '*':
            m_states.last().hidden = true;
            return;
        case '~':
            put(QString(QChar(0x00A0)));
            return;
        case '_':
            put(QString(QChar(0x2011)));
            return;
        case '\r':
        case '\n':
            put(QStringLiteral("\n"));
            return;
        case '-':
            return;
        default:
            byte(c); // \\, \{ and \}
        }
    }

    void controlWord(const QByteArray& word, std::optional<int> param)
    {
        if (hiddenGroups.contains(word)) {
            m_states.last().hidden = true;
        } else if (word == "u" && param) {
            put(QString(QChar(char16_t(*param < 0 ? *param + 65536 : *param))));
            m_pendingSkip = m_states.last().skipAfterUnicode;
            return;
        } else if (word == "uc" && param) {
            m_states.last().skipAfterUnicode = qMax(0, *param);
        } else if (word == "ansicpg" && param) {
            flushBytes();
            QStringDecoder decoder(QStringLiteral("windows-%1").arg(*param).toLatin1().constData());
            if (decoder.isValid()) m_decoder = std::move(decoder);
        } else if (const auto it = wordText.constFind(word); it != wordText.cend()) {
            put(*it);
        }
        m_pendingSkip = 0;
    }

    const QByteArray& m_in;
    qsizetype m_at = 0;
    QVector<State> m_states;
    QByteArray m_bytes; // undecoded bytes of the current text run
    QString m_out;
    QStringDecoder m_decoder;
    int m_pendingSkip = 0;
};

} // namespace

namespace Doc {

QString rtfText(const QByteArray& rtf)
{
    return RtfReader(rtf).text();
}

} // namespace Doc
