#include "core/libreoffice/officelinks.h"

#include "core/libreoffice/officepicture.h"

#include <QDir>
#include <QList>
#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QUrl>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <algorithm>
#include <cctype>

namespace {

const QString relationshipsNamespace =
    QStringLiteral("http://schemas.openxmlformats.org/package/2006/relationships");

struct Edit
{
    qsizetype from, to;
    QString text;
};

bool hasScheme(const QString& href)
{
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*:"));
    return scheme.match(href).hasMatch();
}

// Whether `href` names something inside the package, seen from the package folder `folder`.
// A leading "/" is the package root in relationships and the file system everywhere else.
bool staysInside(const QString& href, const QString& folder, bool slashIsRoot)
{
    // Backslashes too: the office suite reads "..\\x" as a relative path.
    QString name =
        QUrl::fromPercentEncoding(href.trimmed().toUtf8()).replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (name.isEmpty() || name.startsWith(QLatin1Char('#'))) return true;
    const QLatin1String packageScheme("vnd.sun.star.Package:");
    if (name.startsWith(packageScheme, Qt::CaseInsensitive)) name = name.mid(packageScheme.size());
    if (hasScheme(name)) return false;
    if (name.startsWith(QLatin1Char('/'))) {
        if (!slashIsRoot) return false;
        name = name.mid(1);
    } else if (!folder.isEmpty()) {
        name = folder + QLatin1Char('/') + name;
    }
    const QString cleaned = QDir::cleanPath(name);
    return cleaned != QLatin1String("..") && !cleaned.startsWith(QLatin1String("../")) &&
           !cleaned.startsWith(QLatin1Char('/'));
}

QString folderOf(const QString& partPath)
{
    const qsizetype slash = partPath.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : partPath.left(slash);
}

// Parts are UTF-8 or UTF-16 with a byte-order mark; bytes that are neither are carried through
// as Latin-1, which gives them back unchanged.
enum class Encoding { utf8, utf8Bom, utf16, latin1 };

QString decoded(const QByteArray& xml, Encoding& encoding)
{
    if (xml.startsWith("\xFF\xFE") || xml.startsWith("\xFE\xFF")) {
        encoding = Encoding::utf16;
        QStringDecoder decoder(QStringDecoder::Utf16);
        return decoder(xml);
    }
    encoding = xml.startsWith("\xEF\xBB\xBF") ? Encoding::utf8Bom : Encoding::utf8;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder(xml);
    if (!decoder.hasError()) return text;
    encoding = Encoding::latin1;
    return QString::fromLatin1(xml);
}

QByteArray encoded(const QString& text, Encoding encoding)
{
    switch (encoding) {
    case Encoding::utf16: {
        QStringEncoder encoder(QStringEncoder::Utf16, QStringEncoder::Flag::WriteBom);
        return encoder(text);
    }
    case Encoding::utf8Bom:
        return QByteArray("\xEF\xBB\xBF") + text.mid(text.startsWith(QChar(0xFEFF)) ? 1 : 0).toUtf8();
    case Encoding::latin1:
        return text.toLatin1();
    case Encoding::utf8:
        break;
    }
    return text.toUtf8();
}

// `tag` with the values of its attributes called `name` (in any namespace) made empty.
QString emptied(const QString& tag, const QString& name)
{
    QString out = tag;
    const QRegularExpression attribute(
        QStringLiteral("(\\s(?:[\\w.-]+:)?%1\\s*=\\s*)(\"[^\"]*\"|'[^']*')").arg(name));
    return out.replace(attribute, QStringLiteral("\\1\"\""));
}

// A complex field's instruction, gathered from the runs between its begin and separate marks.
struct Field
{
    QString instruction;
    QList<std::pair<qsizetype, qsizetype>> spans;
    bool judged = false;
};

void judge(Field& field, QList<Edit>& edits)
{
    if (field.judged) return;
    field.judged = true;
    if (!OfficeLinks::includesOthers(field.instruction)) return;
    for (const auto& [from, to] : field.spans)
        edits.append({from, to, QString()});
}

QString attribute(const QXmlStreamReader& reader, QLatin1String name)
{
    for (const QXmlStreamAttribute& a : reader.attributes())
        if (a.name() == name) return a.value().toString();
    return {};
}

// A picture written into the part as base64 text, confined; nothing when it stays as it is.
std::optional<QString> confinedInline(const QString& base64)
{
    const QByteArray picture = QByteArray::fromBase64(base64.toLatin1());
    const QByteArray confined = OfficePicture::confined(picture);
    if (confined == picture) return std::nullopt;
    return QString::fromLatin1(confined.toBase64());
}

// Reads one part and lists its edits; false when the part is not well-formed. Prefixes are
// taken as written, declared or not, as office suites read them.
bool scan(const QString& text, const QString& folder, QList<Edit>& edits)
{
    QXmlStreamReader reader(text);
    reader.setNamespaceProcessing(false);
    QList<Field> fields;
    qsizetype instructionStart = -1; // inside an instruction element's text when not -1
    qsizetype binaryStart = -1;      // inside an inline picture's text when not -1
    QString instruction, binary;
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        const qsizetype end = reader.characterOffset();
        const QStringView name = reader.name();
        const bool isInstruction =
            name == QLatin1String("instrText") || name == QLatin1String("delInstrText");
        if (token == QXmlStreamReader::StartElement) {
            // The reader may have taken the '<' with the text before; a tag holds no other '<'.
            const qsizetype start = text.lastIndexOf(QLatin1Char('<'), end - 1);
            const QString tag = text.mid(start, end - start);
            QString changed = tag;
            if (isInstruction) {
                instructionStart = tag.endsWith(QLatin1String("/>")) ? -1 : end;
                instruction.clear();
            } else if (name == QLatin1String("binary-data")) {
                binaryStart = tag.endsWith(QLatin1String("/>")) ? -1 : end;
                binary.clear();
            } else if (name == QLatin1String("fldChar")) {
                const QString type = attribute(reader, QLatin1String("fldCharType"));
                if (type == QLatin1String("begin")) fields.append(Field());
                if (type == QLatin1String("separate") && !fields.isEmpty()) judge(fields.last(), edits);
                if (type == QLatin1String("end") && !fields.isEmpty()) {
                    judge(fields.last(), edits);
                    fields.removeLast();
                }
            } else if (name == QLatin1String("fldSimple") &&
                       OfficeLinks::includesOthers(attribute(reader, QLatin1String("instr")))) {
                changed = emptied(changed, QStringLiteral("instr"));
            }
            // Hyperlinks are only followed when someone clicks them.
            const QString href = attribute(reader, QLatin1String("href"));
            if (name != QLatin1String("a") && !staysInside(href, folder, false))
                changed = emptied(changed, QStringLiteral("href"));
            if (changed != tag) edits.append({start, end, changed});
        } else if (token == QXmlStreamReader::Characters && instructionStart >= 0) {
            instruction += reader.text();
        } else if (token == QXmlStreamReader::Characters && binaryStart >= 0) {
            binary += reader.text();
        } else if (token == QXmlStreamReader::EndElement && name == QLatin1String("binary-data") &&
                   binaryStart >= 0) {
            if (const auto confined = confinedInline(binary))
                edits.append({binaryStart, text.lastIndexOf(QLatin1Char('<'), end - 1), *confined});
            binaryStart = -1;
        } else if (token == QXmlStreamReader::EndElement && isInstruction && instructionStart >= 0) {
            const std::pair span{instructionStart, text.lastIndexOf(QLatin1Char('<'), end - 1)};
            instructionStart = -1;
            if (!fields.isEmpty() && !fields.last().judged) {
                fields.last().instruction += instruction;
                fields.last().spans.append(span);
            } else if (OfficeLinks::includesOthers(instruction)) {
                edits.append({span.first, span.second, QString()});
            }
        }
    }
    for (Field& field : fields)
        judge(field, edits);
    return !reader.hasError();
}

// The end of the control word at `i` (a backslash), its name and its parameter.
qsizetype controlWord(const QByteArray& rtf, qsizetype i, QByteArray& word, qint64& parameter)
{
    qsizetype j = i + 1;
    while (j < rtf.size() && std::isalpha(static_cast<unsigned char>(rtf[j])))
        ++j;
    word = rtf.mid(i + 1, j - i - 1);
    const qsizetype digits = j;
    if (j < rtf.size() && rtf[j] == '-') ++j;
    while (j < rtf.size() && std::isdigit(static_cast<unsigned char>(rtf[j])))
        ++j;
    parameter = rtf.mid(digits, j - digits).toLongLong();
    if (j < rtf.size() && rtf[j] == ' ') ++j;
    return j;
}

// The text an RTF reader sees in `rtf` from `from` to `to`: control words dropped, escaped
// characters and \'hh and \uN decoded (with the \ucN characters after \uN skipped).
QString rtfText(const QByteArray& rtf, qsizetype from, qsizetype to)
{
    QString text;
    int skipAfterUnicode = 1, skip = 0;
    for (qsizetype i = from; i < to; ++i) {
        const char c = rtf[i];
        if (c == '{' || c == '}' || c == '\r' || c == '\n') continue;
        if (c != '\\' || i + 1 >= to) {
            if (skip > 0)
                --skip;
            else
                text += QLatin1Char(c);
            continue;
        }
        const char next = rtf[i + 1];
        if (next == '\'' && i + 3 < to) {
            if (skip > 0)
                --skip;
            else
                text += QChar(QByteArray(rtf.constData() + i + 2, 2).toUShort(nullptr, 16));
            i += 3;
            continue;
        }
        if (!std::isalpha(static_cast<unsigned char>(next))) {
            if (skip > 0)
                --skip;
            else
                text += next == '\\' || next == '{' || next == '}' ? QLatin1Char(next) : QLatin1Char(' ');
            ++i;
            continue;
        }
        QByteArray word;
        qint64 parameter = 0;
        i = controlWord(rtf, i, word, parameter) - 1;
        if (word == "uc") skipAfterUnicode = int(std::clamp<qint64>(parameter, 0, 8));
        if (word == "u") {
            text += QChar(char16_t(parameter));
            skip = skipAfterUnicode;
        }
    }
    return text;
}

} // namespace

namespace OfficeLinks {

QByteArray rtf(const QByteArray& text)
{
    // Each group holding \fldinst is an instruction; the outermost ones that include others go.
    QList<qsizetype> groups;
    QList<bool> instructionGroups;
    QList<std::pair<qsizetype, qsizetype>> emptied;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '{') {
            groups.append(i);
            instructionGroups.append(false);
        } else if (c == '}' && !groups.isEmpty()) {
            const qsizetype start = groups.takeLast();
            if (instructionGroups.takeLast() && includesOthers(rtfText(text, start, i))) {
                while (!emptied.isEmpty() && emptied.last().first > start)
                    emptied.removeLast();
                emptied.append({start, i + 1});
            }
        } else if (c == '\\' && i + 1 < text.size()) {
            if (!std::isalpha(static_cast<unsigned char>(text[i + 1]))) {
                ++i;
                continue;
            }
            QByteArray word;
            qint64 parameter = 0;
            const qsizetype end = controlWord(text, i, word, parameter);
            if (word == "fldinst" && !instructionGroups.isEmpty()) instructionGroups.last() = true;
            // Binary data may hold braces of its own.
            i = end - 1 + (word == "bin" ? std::clamp<qint64>(parameter, 0, text.size()) : 0);
        }
    }
    QByteArray out = text;
    for (auto it = emptied.crbegin(); it != emptied.crend(); ++it)
        out.replace(it->first, it->second - it->first, "{\\*\\fldinst }");
    return out;
}

bool includesOthers(const QString& instruction)
{
    static const QSet<QString> including{"INCLUDE", "INCLUDETEXT", "INCLUDEPICTURE", "IMPORT", "LINK",
                                         "DDE",     "DDEAUTO",     "DATABASE",       "RD"};
    static const QRegularExpression first(QStringLiteral("^\\s*([^\\s\"\\\\]+)"));
    const QRegularExpressionMatch match = first.match(instruction);
    return match.hasMatch() && including.contains(match.captured(1).toUpper());
}

std::optional<QByteArray> relationships(const QByteArray& xml, const QString& relsPath)
{
    // "word/_rels/document.xml.rels" belongs to a part in "word".
    QString folder = folderOf(relsPath);
    folder = folder == QLatin1String("_rels") ? QString() : folderOf(folder);
    QXmlStreamReader reader(xml);
    reader.setNamespaceProcessing(false);
    QByteArray out;
    QXmlStreamWriter writer(&out);
    writer.writeStartDocument(QStringLiteral("1.0"), true);
    writer.writeStartElement(QStringLiteral("Relationships"));
    writer.writeAttribute(QStringLiteral("xmlns"), relationshipsNamespace);
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement ||
            reader.name() != QLatin1String("Relationship"))
            continue;
        const QString type = attribute(reader, QLatin1String("Type"));
        const QString target = attribute(reader, QLatin1String("Target"));
        const QString mode = attribute(reader, QLatin1String("TargetMode"));
        const bool external =
            mode.compare(QLatin1String("Internal"), Qt::CaseInsensitive) != 0 && !mode.isEmpty();
        if (external ? !type.endsWith(QLatin1String("/hyperlink")) : !staysInside(target, folder, true))
            continue;
        writer.writeEmptyElement(QStringLiteral("Relationship"));
        writer.writeAttribute(QStringLiteral("Id"), attribute(reader, QLatin1String("Id")));
        writer.writeAttribute(QStringLiteral("Type"), type);
        writer.writeAttribute(QStringLiteral("Target"), target);
        if (!mode.isEmpty()) writer.writeAttribute(QStringLiteral("TargetMode"), mode);
    }
    if (reader.hasError()) return std::nullopt;
    writer.writeEndDocument();
    return out;
}

std::optional<QByteArray> part(const QByteArray& xml, const QString& partPath)
{
    Encoding encoding;
    QString text = decoded(xml, encoding);
    QList<Edit> edits;
    if (!scan(text, folderOf(partPath), edits)) return std::nullopt;
    if (edits.isEmpty()) return xml;
    std::sort(edits.begin(), edits.end(), [](const Edit& a, const Edit& b) { return a.from > b.from; });
    for (const Edit& edit : edits)
        text.replace(edit.from, edit.to - edit.from, edit.text);
    return encoded(text, encoding);
}

} // namespace OfficeLinks
