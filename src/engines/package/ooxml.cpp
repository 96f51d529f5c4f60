#include "engines/package/ooxml.h"

#include "core/output.h"
#include "core/xml.h"

#include <QDateTime>
#include <QFileInfo>
#include <QTextBoundaryFinder>

namespace {

// Spreadsheet names may not hold these.
const QString forbiddenInNames = QStringLiteral("[]:*?/\\");

// At most `units` UTF-16 units of `text`, cut between user-perceived characters.
QString cutAt(const QString& text, qsizetype units)
{
    if (text.size() <= units) return text;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    finder.setPosition(units);
    if (!finder.isAtBoundary()) finder.toPreviousBoundary();
    return text.left(qMax<qsizetype>(finder.position(), 0));
}

QString withoutOuterApostrophes(QString name)
{
    while (name.startsWith(QLatin1Char('\'')))
        name.remove(0, 1);
    while (name.endsWith(QLatin1Char('\'')))
        name.chop(1);
    return name;
}

// A name taken already, or one the common spreadsheet application keeps for itself.
bool isTaken(const QString& name, const QSet<QString>& used)
{
    const QString lower = name.toLower();
    return used.contains(lower) || lower == QLatin1String("history");
}

} // namespace

namespace OOXML {

QString sheetName(const QString& wanted, QSet<QString>& used)
{
    QString name;
    for (const QChar c : wanted)
        if (!forbiddenInNames.contains(c)) name += c;
    name = withoutOuterApostrophes(cutAt(withoutOuterApostrophes(name), 31));
    if (name.isEmpty()) name = QStringLiteral("Sheet");
    if (isTaken(name, used)) {
        const QString base = name;
        for (int n = 2;; ++n) {
            const QString suffix = QLatin1Char(' ') + QString::number(n);
            name = cutAt(base, qMin(27, 31 - suffix.size())) + suffix;
            if (!isTaken(name, used)) break;
        }
    }
    used.insert(name.toLower());
    return name;
}

QString columnName(int index)
{
    QString name;
    for (qint64 n = qint64(index) + 1; n > 0; n = (n - 1) / 26)
        name.prepend(QChar(char16_t(u'A' + (n - 1) % 26)));
    return name;
}

std::optional<QSizeF> pngSize(const QByteArray& png)
{
    if (png.size() < 25) return std::nullopt;
    const auto bigEndian = [&](int at) {
        quint32 value = 0;
        for (int i = 0; i < 4; ++i)
            value = value << 8 | quint8(png.at(at + i));
        return double(value);
    };
    return QSizeF(bigEndian(16), bigEndian(20));
}

std::optional<QString> cellNumber(const QString& cell)
{
    std::optional<QString> number = Sheet::number(cell);
    if (!number) return std::nullopt;
    int digits = 0;
    bool leading = true;
    for (const QChar c : *number) {
        if (c == QLatin1Char('e') || c == QLatin1Char('E')) break;
        if (!c.isDigit() || (leading && c == QLatin1Char('0'))) continue;
        leading = false;
        ++digits;
    }
    if (digits > 15) return std::nullopt;
    return number;
}

QString titleFor(const QString& path, const std::optional<QString>& title)
{
    if (title) return *title;
    return Output::isTemporary(path) ? QString() : QFileInfo(path).completeBaseName();
}

QMap<QString, QByteArray> docProps(const QString& title, const QString& app)
{
    const QString now = QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
    const QLatin1String typed(" xsi:type=\"dcterms:W3CDTF\">");
    const QString core =
        QLatin1String(
            "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<cp:coreProperties "
            "xmlns:cp=\"http://schemas.openxmlformats.org/package/2006/metadata/core-properties\" "
            "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" xmlns:dcterms=\"http://purl.org/dc/terms/\" "
            "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"><dc:title>") +
        xmlEscaped(title) + QLatin1String("</dc:title><dc:creator>Tolvane</dc:creator><dcterms:created") +
        typed + now + QLatin1String("</dcterms:created><dcterms:modified") + typed + now +
        QLatin1String("</dcterms:modified></cp:coreProperties>");
    const QString appPart =
        QLatin1String("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<Properties "
                      "xmlns=\"http://schemas.openxmlformats.org/officeDocument/2006/extended-properties\">"
                      "<Application>") +
        xmlEscaped(app) + QLatin1String("</Application></Properties>");
    return {{QStringLiteral("docProps/core.xml"), core.toUtf8()},
            {QStringLiteral("docProps/app.xml"), appPart.toUtf8()}};
}

} // namespace OOXML
