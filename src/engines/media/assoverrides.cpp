#include "engines/media/assoverrides.h"

#include <QRegularExpression>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <optional>

namespace {

// A tag's argument that reads as a number, spaces around it allowed.
std::optional<double> number(const QString& arg)
{
    static const QRegularExpression form(QStringLiteral(R"(^\s*[+-]?(?:\d+(?:\.\d*)?|\.\d+)\s*$)"));
    if (!form.match(arg).hasMatch()) return std::nullopt;
    return arg.trimmed().toDouble();
}

// At most two decimals, none when whole: "250", "37.5".
QString decimal(double value)
{
    QString text = QString::number(value, 'f', 2);
    while (text.endsWith(QLatin1Char('0')))
        text.chop(1);
    if (text.endsWith(QLatin1Char('.'))) text.chop(1);
    return text == QLatin1String("-0") ? QStringLiteral("0") : text;
}

// `arg` holding `value` instead, with its spaces; as it was when it holds that value already.
QString with(const QString& arg, double value)
{
    if (number(arg) == value) return arg;
    qsizetype begin = 0, end = arg.size();
    while (begin < end && arg[begin].isSpace())
        ++begin;
    while (end > begin && arg[end - 1].isSpace())
        --end;
    return arg.left(begin) + decimal(value) + arg.mid(end);
}

// Where the bracket opened at `open` closes, brackets within counted; -1 when it doesn't.
qsizetype closing(const QString& text, qsizetype open)
{
    int depth = 0;
    for (qsizetype i = open; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('(')) ++depth;
        if (text[i] == QLatin1Char(')') && --depth == 0) return i;
    }
    return -1;
}

QString tag(const QString& name, const QStringList& args)
{
    return QLatin1Char('\\') + name + QLatin1Char('(') + args.join(QLatin1Char(',')) + QLatin1Char(')');
}

class Retiming
{
  public:
    Retiming(double lead, double speed) : m_lead(lead * 1000), m_speed(speed) {}

    QString text(const QString& text)
    {
        QString out;
        qsizetype i = 0;
        while (i < text.size()) {
            if (text[i] == QLatin1Char('{')) {
                const qsizetype close = text.indexOf(QLatin1Char('}'), i + 1);
                if (close < 0) break;
                out += QLatin1Char('{') + block(text.mid(i + 1, close - i - 1)) + QLatin1Char('}');
                i = close + 1;
            } else {
                // "\{" is a brace shown, not a block.
                const qsizetype length = text[i] == QLatin1Char('\\') ? 2 : 1;
                out += text.mid(i, length);
                i += length;
            }
        }
        return out + text.mid(i);
    }

  private:
    // A time counted from the event's start, in milliseconds, as the retimed event counts it.
    double at(double ms) const { return std::round(std::max(0.0, ms - m_lead) / m_speed); }

    QString block(const QString& b)
    {
        static const QRegularExpression syllable(QStringLiteral(R"(\\(kf|ko|k|K)(\d+(?:\.\d+)?))"));
        static const QStringList bracketed{QStringLiteral("fade"), QStringLiteral("fad"),
                                           QStringLiteral("move"), QStringLiteral("t")};
        QString out;
        qsizetype i = 0;
        while (i < b.size()) {
            if (b[i] != QLatin1Char('\\')) {
                out += b[i++];
                continue;
            }
            const auto name = std::find_if(bracketed.begin(), bracketed.end(), [&](const QString& n) {
                return QStringView(b).mid(i + 1).startsWith(n + QLatin1Char('('));
            });
            if (name != bracketed.end()) {
                const qsizetype open = i + 1 + name->size();
                const qsizetype close = closing(b, open);
                if (close < 0) return out + b.mid(i);
                out += changed(*name, b.mid(open + 1, close - open - 1)).value_or(b.mid(i, close + 1 - i));
                i = close + 1;
                continue;
            }
            const QRegularExpressionMatch m = syllable.match(b, i, QRegularExpression::NormalMatch,
                                                             QRegularExpression::AnchorAtOffsetMatchOption);
            if (m.hasMatch()) {
                out += QLatin1Char('\\') + m.captured(1) + karaoke(m.captured(2));
                i = m.capturedEnd();
                continue;
            }
            out += b[i++];
        }
        return out;
    }

    // A karaoke syllable's length, in hundredths: the syllables follow one another from the
    // event's start, so each ends where the ones before it and its own length take it.
    QString karaoke(const QString& length)
    {
        const double lead = m_lead / 10;
        const double start = m_syllables;
        m_syllables += length.toDouble();
        const double from = std::round(std::max(0.0, start - lead) / m_speed);
        const double to = std::round(std::max(0.0, m_syllables - lead) / m_speed);
        return with(length, to - from);
    }

    // The tag \name(inner) retimed; none when it doesn't read as one with times.
    std::optional<QString> changed(const QString& name, const QString& inner) const
    {
        if (name == QLatin1String("t")) return transform(inner);
        QStringList args = inner.split(QLatin1Char(','));
        QList<double> v;
        for (const QString& a : args) {
            const std::optional<double> n = number(a);
            if (!n) return std::nullopt;
            v << *n;
        }
        if (name == QLatin1String("move")) return move(args, v);
        if (v.size() == 2) {
            // How long the fade in and the fade out last, the fade out counted back from the end.
            if (v[0] < 0 || v[1] < 0) return std::nullopt;
            args[0] = with(args[0], at(v[0]));
            args[1] = with(args[1], std::round(v[1] / m_speed));
            return tag(name, args);
        }
        if (v.size() == 7) {
            // Three opacities and the four times between which one gives way to the next.
            if (std::any_of(v.begin() + 3, v.end(), [](double t) { return t < 0; })) return std::nullopt;
            for (int k = 3; k < 7; ++k)
                args[k] = with(args[k], at(v[k]));
            return tag(name, args);
        }
        return std::nullopt;
    }

    std::optional<QString> move(QStringList args, const QList<double>& v) const
    {
        // Without times, or with both at 0, a movement lasts the whole event.
        if (v.size() != 6) return std::nullopt;
        const double t1 = v[4], t2 = v[5];
        if (t1 < 0 || t1 > t2 || t2 <= 0) return std::nullopt;
        if (m_lead >= t2) return tag(QStringLiteral("pos"), {args[2], args[3]});
        if (m_lead > t1) {
            const double done = (m_lead - t1) / (t2 - t1);
            args[0] = with(args[0], v[0] + (v[2] - v[0]) * done);
            args[1] = with(args[1], v[1] + (v[3] - v[1]) * done);
        }
        args[4] = with(args[4], at(t1));
        args[5] = with(args[5], std::max(1.0, at(t2))); // not 0, which would mean the whole event
        return tag(QStringLiteral("move"), args);
    }

    // \t(t1,t2[,accel],modifiers); one without times lasts the whole event, and so does one
    // whose t2 is 0.
    std::optional<QString> transform(const QString& inner) const
    {
        const qsizetype modifiers = inner.indexOf(QLatin1Char('\\'));
        if (modifiers < 0) return std::nullopt;
        QStringList head = inner.left(modifiers).split(QLatin1Char(','));
        if (!head.last().trimmed().isEmpty()) return std::nullopt;
        head.removeLast();
        QList<double> v;
        for (const QString& a : head) {
            const std::optional<double> n = number(a);
            if (!n) return std::nullopt;
            v << *n;
        }
        if (v.size() < 2 || v.size() > 3 || v[0] < 0 || v[1] < 0 || (v[1] > 0 && v[0] > v[1]))
            return std::nullopt;
        if (v[1] > 0 && m_lead >= v[1]) return inner.mid(modifiers);
        head[0] = with(head[0], at(v[0]));
        if (v[1] > 0) head[1] = with(head[1], std::max(1.0, at(v[1])));
        return QStringLiteral("\\t(") + head.join(QLatin1Char(',')) + QLatin1Char(',') +
               inner.mid(modifiers) + QLatin1Char(')');
    }

    double m_lead; // milliseconds
    double m_speed;
    double m_syllables = 0; // how far the source's karaoke has come, in hundredths
};

} // namespace

namespace AssOverrides {

QString retimed(const QString& text, double lead, double speed)
{
    if (lead <= 0 && speed == 1) return text;
    return Retiming(std::max(0.0, lead), speed).text(text);
}

} // namespace AssOverrides
