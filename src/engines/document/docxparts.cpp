#include "engines/document/docxparts.h"

#include "engines/package/ooxmlparts.h"

namespace {

const QLatin1String wordNS("http://schemas.openxmlformats.org/wordprocessingml/2006/main");

QString heading(int level)
{
    static const int halfPoints[] = {36, 30, 26, 24, 22, 22};
    const QString n = QString::number(level);
    return QLatin1String("<w:style w:type=\"paragraph\" w:styleId=\"Heading") + n +
           QLatin1String("\"><w:name w:val=\"heading ") + n +
           QLatin1String("\"/><w:basedOn w:val=\"Normal\"/><w:next w:val=\"Normal\"/><w:qFormat/><w:pPr>"
                         "<w:keepNext/><w:spacing w:before=\"240\" w:after=\"120\"/><w:outlineLvl w:val=\"") +
           QString::number(level - 1) + QLatin1String("\"/></w:pPr><w:rPr><w:b/><w:bCs/><w:sz w:val=\"") +
           QString::number(halfPoints[level - 1]) + QLatin1String("\"/></w:rPr></w:style>");
}

QString numberFormat(QTextListFormat::Style style)
{
    switch (style) {
    case QTextListFormat::ListDecimal:
        return QStringLiteral("decimal");
    case QTextListFormat::ListLowerAlpha:
        return QStringLiteral("lowerLetter");
    case QTextListFormat::ListUpperAlpha:
        return QStringLiteral("upperLetter");
    case QTextListFormat::ListLowerRoman:
        return QStringLiteral("lowerRoman");
    case QTextListFormat::ListUpperRoman:
        return QStringLiteral("upperRoman");
    default:
        return QStringLiteral("bullet");
    }
}

QString level(int ilvl, QTextListFormat::Style style)
{
    const QString format = numberFormat(style);
    static const QString bullets[] = {QStringLiteral("•"), QStringLiteral("◦"), QStringLiteral("▪")};
    const QString text = format == QLatin1String("bullet")
                             ? bullets[ilvl % 3]
                             : QLatin1Char('%') + QString::number(ilvl + 1) + QLatin1Char('.');
    return QLatin1String("<w:lvl w:ilvl=\"") + QString::number(ilvl) +
           QLatin1String("\"><w:start w:val=\"1\"/><w:numFmt w:val=\"") + format +
           QLatin1String("\"/><w:lvlText w:val=\"") + text +
           QLatin1String("\"/><w:lvlJc w:val=\"left\"/><w:pPr><w:ind w:left=\"") +
           QString::number(720 * (ilvl + 1)) + QLatin1String("\" w:hanging=\"360\"/></w:pPr></w:lvl>");
}

} // namespace

namespace DocxParts {

QString styles()
{
    QString xml =
        QString(OOXML::Parts::declaration) + QLatin1String("<w:styles xmlns:w=\"") + wordNS +
        QLatin1String("\"><w:docDefaults><w:rPrDefault><w:rPr><w:sz w:val=\"24\"/><w:szCs w:val=\"24\"/>"
                      "</w:rPr></w:rPrDefault><w:pPrDefault><w:pPr><w:spacing w:after=\"0\" w:line=\"240\" "
                      "w:lineRule=\"auto\"/></w:pPr></w:pPrDefault></w:docDefaults><w:style "
                      "w:type=\"paragraph\" w:default=\"1\" w:styleId=\"Normal\"><w:name w:val=\"Normal\"/>"
                      "<w:qFormat/></w:style>");
    for (int n = 1; n <= 6; ++n)
        xml += heading(n);
    return xml + QLatin1String("</w:styles>");
}

QString numbering(const QList<QTextListFormat::Style>& lists)
{
    QString abstract, instances;
    for (qsizetype i = 0; i < lists.size(); ++i) {
        abstract += QLatin1String("<w:abstractNum w:abstractNumId=\"") + QString::number(i) +
                    QLatin1String("\"><w:multiLevelType w:val=\"hybridMultilevel\"/>");
        for (int l = 0; l < 9; ++l)
            abstract += level(l, lists[i]);
        abstract += QLatin1String("</w:abstractNum>");
        instances += QLatin1String("<w:num w:numId=\"") + QString::number(i + 1) +
                     QLatin1String("\"><w:abstractNumId w:val=\"") + QString::number(i) +
                     QLatin1String("\"/></w:num>");
    }
    // Every abstract numbering comes before the first numbering that uses one.
    return QString(OOXML::Parts::declaration) + QLatin1String("<w:numbering xmlns:w=\"") + wordNS +
           QLatin1String("\">") + abstract + instances + QLatin1String("</w:numbering>");
}

QString section(const QSizeF& page)
{
    return QLatin1String("<w:sectPr><w:pgSz w:w=\"") + QString::number(qRound(page.width() * 20)) +
           QLatin1String("\" w:h=\"") + QString::number(qRound(page.height() * 20)) +
           QLatin1String("\"/><w:pgMar w:top=\"1280\" w:right=\"1280\" w:bottom=\"1280\" w:left=\"1280\" "
                         "w:header=\"720\" w:footer=\"720\" w:gutter=\"0\"/></w:sectPr>");
}

QString documentStart()
{
    return QString(OOXML::Parts::declaration) + QLatin1String("<w:document xmlns:w=\"") + wordNS +
           QLatin1String("\" xmlns:r=\"") + OOXML::Parts::relNS +
           QLatin1String(
               "\" xmlns:wp=\"http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing\" "
               "xmlns:a=\"") +
           OOXML::Parts::drawingNS +
           QLatin1String(
               "\" xmlns:pic=\"http://schemas.openxmlformats.org/drawingml/2006/picture\"><w:body>");
}

} // namespace DocxParts
