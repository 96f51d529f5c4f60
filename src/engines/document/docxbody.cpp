#include "engines/document/docxbody.h"

#include "core/xml.h"
#include "engines/document/fontsize.h"

#include <QSet>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextList>
#include <QTextTable>
#include <QUrl>

namespace {

// Word measures in twentieths of a point; documents in CSS pixels of 0.75 pt.
int twips(double pixels)
{
    return qRound(pixels * 15);
}

const QSet<QString> genericFamilies{"serif",     "sans-serif",   "monospace", "cursive",      "fantasy",
                                    "system-ui", "ui-monospace", "ui-serif",  "ui-sans-serif"};

// The first family a word processor can look up by name; generic CSS families name none.
QString concreteFamily(const QTextCharFormat& format)
{
    const QStringList families = format.fontFamilies().toStringList();
    for (const QString& family : families)
        if (!family.startsWith(QLatin1Char('-')) && !genericFamilies.contains(family.toLower()))
            return family;
    if (families.contains(QLatin1String("monospace"), Qt::CaseInsensitive))
        return QStringLiteral("Courier New");
    return {};
}

bool hasSize(const QTextCharFormat& format)
{
    return format.hasProperty(QTextFormat::FontPointSize) || format.hasProperty(QTextFormat::FontPixelSize) ||
           format.hasProperty(QTextFormat::FontSizeAdjustment);
}

// The text of a run: tabs and line breaks as their own elements, characters XML can't hold and
// the document's object and frame markers left out.
QString runContent(const QString& text)
{
    QString out, pending;
    const auto flush = [&] {
        if (!pending.isEmpty())
            out +=
                QLatin1String("<w:t xml:space=\"preserve\">") + xmlEscaped(pending) + QLatin1String("</w:t>");
        pending.clear();
    };
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '\t':
            flush();
            out += QLatin1String("<w:tab/>");
            break;
        case '\n':
        case QChar::LineSeparator:
        case QChar::ParagraphSeparator:
            flush();
            out += QLatin1String("<w:br/>");
            break;
        case QChar::ObjectReplacementCharacter:
        case 0xFDD0:
        case 0xFDD1:
            break;
        default:
            pending += c;
        }
    }
    flush();
    return out;
}

// Word's alignment of a paragraph. In a right-to-left paragraph Word's left and right name its
// start and end, as Qt's do unless they are absolute (as HTML's are).
QString alignment(Qt::Alignment align, bool rightToLeft)
{
    if (align & Qt::AlignHCenter) return QStringLiteral("center");
    if (align & Qt::AlignJustify) return QStringLiteral("both");
    const bool right = align & Qt::AlignRight, left = align & Qt::AlignLeft;
    if (!rightToLeft) return right ? QStringLiteral("right") : QString();
    if (align & Qt::AlignAbsolute) return left ? QStringLiteral("right") : QString();
    return right ? QStringLiteral("right") : QString();
}

// Whether a run is right-to-left text for Word: it holds right-to-left letters and no
// left-to-right ones (digits and punctuation take either side).
bool rightToLeftRun(const QString& text)
{
    bool rightToLeft = false;
    for (const QChar c : text) {
        switch (c.direction()) {
        case QChar::DirL:
            return false;
        case QChar::DirR:
        case QChar::DirAL:
            rightToLeft = true;
            break;
        default:
            break;
        }
    }
    return rightToLeft;
}

QString tableBorders()
{
    QString borders = QStringLiteral("<w:tblBorders>");
    for (const char* side : {"top", "left", "bottom", "right", "insideH", "insideV"})
        borders += QLatin1String("<w:") + QLatin1String(side) +
                   QLatin1String(" w:val=\"single\" w:sz=\"4\" w:space=\"0\" w:color=\"auto\"/>");
    return borders + QLatin1String("</w:tblBorders>");
}

} // namespace

DocxBody::DocxBody(const QTextDocument& document, double textWidth)
    : m_document(document), m_textWidth(textWidth)
{
    m_xml = frame(*document.rootFrame(), qRound(textWidth * 20));
}

QString DocxBody::frame(const QTextFrame& frame, int width)
{
    QString out;
    for (auto it = frame.begin(); !it.atEnd(); ++it) {
        if (const QTextFrame* child = it.currentFrame()) {
            if (const auto* t = qobject_cast<const QTextTable*>(child))
                out += table(*t, width);
            else
                out += this->frame(*child, width);
        } else if (it.currentBlock().isValid()) {
            out += paragraph(it.currentBlock());
        }
    }
    return out;
}

QString DocxBody::table(const QTextTable& table, int width)
{
    const int columns = qMax(1, table.columns());
    const int column = width / columns;
    const QTextTableFormat format = table.format();
    const bool bordered =
        format.border() > 0 || table.cellAt(0, 0).format().toTableCellFormat().topBorder() > 0;
    QString out = QLatin1String("<w:tbl><w:tblPr><w:tblW w:w=\"") + QString::number(column * columns) +
                  QLatin1String("\" w:type=\"dxa\"/>") + (bordered ? tableBorders() : QString()) +
                  QLatin1String("</w:tblPr><w:tblGrid>");
    for (int c = 0; c < columns; ++c)
        out += QLatin1String("<w:gridCol w:w=\"") + QString::number(column) + QLatin1String("\"/>");
    out += QLatin1String("</w:tblGrid>");
    for (int r = 0; r < table.rows(); ++r) {
        out += QLatin1String("<w:tr>");
        for (int c = 0; c < columns;) {
            const QTextTableCell cell = table.cellAt(r, c);
            const int span = qMax(1, cell.columnSpan());
            QString properties = QLatin1String("<w:tcW w:w=\"") + QString::number(column * span) +
                                 QLatin1String("\" w:type=\"dxa\"/>");
            if (span > 1)
                properties +=
                    QLatin1String("<w:gridSpan w:val=\"") + QString::number(span) + QLatin1String("\"/>");
            QString content;
            if (cell.row() < r) {
                // Covered by a cell of a row above: a continuation of its vertical merge.
                properties += QLatin1String("<w:vMerge/>");
            } else {
                if (cell.rowSpan() > 1) properties += QLatin1String("<w:vMerge w:val=\"restart\"/>");
                for (auto it = cell.begin(); !it.atEnd(); ++it) {
                    if (const QTextFrame* child = it.currentFrame()) {
                        if (const auto* inner = qobject_cast<const QTextTable*>(child))
                            content += this->table(*inner, column * span - 200);
                        else
                            content += frame(*child, column * span);
                    } else {
                        content += paragraph(it.currentBlock());
                    }
                }
            }
            // A cell must end with a paragraph.
            if (!content.endsWith(QLatin1String("</w:p>")) && !content.endsWith(QLatin1String("<w:p/>")))
                content += QLatin1String("<w:p/>");
            out += QLatin1String("<w:tc><w:tcPr>") + properties + QLatin1String("</w:tcPr>") + content +
                   QLatin1String("</w:tc>");
            c += span;
        }
        out += QLatin1String("</w:tr>");
    }
    return out + QLatin1String("</w:tbl>");
}

QString DocxBody::paragraph(const QTextBlock& block)
{
    const QString properties = paragraphProperties(block);
    QString content = runs(block);
    if (block.blockFormat().pageBreakPolicy() & QTextFormat::PageBreak_AlwaysAfter)
        content += QLatin1String("<w:r><w:br w:type=\"page\"/></w:r>");
    if (properties.isEmpty() && content.isEmpty()) return QStringLiteral("<w:p/>");
    return QLatin1String("<w:p>") + (properties.isEmpty() ? QString() : "<w:pPr>" + properties + "</w:pPr>") +
           content + QLatin1String("</w:p>");
}

// In the order the format's schema demands.
QString DocxBody::paragraphProperties(const QTextBlock& block)
{
    const QTextBlockFormat format = block.blockFormat();
    QString p;
    if (const int level = format.headingLevel(); level > 0)
        p += QLatin1String("<w:pStyle w:val=\"Heading") + QString::number(qMin(level, 6)) +
             QLatin1String("\"/>");
    if (format.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore)
        p += QLatin1String("<w:pageBreakBefore/>");
    const QTextList* list = block.textList();
    if (list) {
        auto id = m_listIds.constFind(list);
        if (id == m_listIds.cend()) {
            m_listStyles.append(list->format().style());
            id = m_listIds.insert(list, int(m_listStyles.size()));
        }
        p += QLatin1String("<w:numPr><w:ilvl w:val=\"") +
             QString::number(qBound(0, list->format().indent() - 1, 8)) +
             QLatin1String("\"/><w:numId w:val=\"") + QString::number(*id) + QLatin1String("\"/></w:numPr>");
    }
    if (format.hasProperty(QTextFormat::BlockTrailingHorizontalRulerWidth))
        p += QLatin1String(
            "<w:pBdr><w:bottom w:val=\"single\" w:sz=\"6\" w:space=\"1\" w:color=\"auto\"/></w:pBdr>");
    const bool rightToLeft = block.textDirection() == Qt::RightToLeft;
    if (rightToLeft) p += QLatin1String("<w:bidi/>");
    const int before = twips(format.topMargin()), after = twips(format.bottomMargin());
    const bool proportional =
        format.lineHeightType() == QTextBlockFormat::ProportionalHeight && format.lineHeight() != 100;
    if (before > 0 || after > 0 || proportional) {
        p += QLatin1String("<w:spacing w:before=\"") + QString::number(before) +
             QLatin1String("\" w:after=\"") + QString::number(after) + QLatin1Char('"');
        if (proportional)
            p += QLatin1String(" w:line=\"") + QString::number(qRound(2.4 * format.lineHeight())) +
                 QLatin1String("\" w:lineRule=\"auto\"");
        p += QLatin1String("/>");
    }
    if (!list) {
        const int left = twips(format.leftMargin() + format.indent() * m_document.indentWidth());
        const int right = twips(format.rightMargin()), first = twips(format.textIndent());
        if (left > 0 || right > 0 || first != 0) {
            p += QLatin1String("<w:ind w:left=\"") + QString::number(qMax(0, left)) +
                 QLatin1String("\" w:right=\"") + QString::number(qMax(0, right)) + QLatin1Char('"');
            if (first > 0) p += QLatin1String(" w:firstLine=\"") + QString::number(first) + QLatin1Char('"');
            if (first < 0) p += QLatin1String(" w:hanging=\"") + QString::number(-first) + QLatin1Char('"');
            p += QLatin1String("/>");
        }
    }
    if (const QString jc = alignment(format.alignment(), rightToLeft); !jc.isEmpty())
        p += QLatin1String("<w:jc w:val=\"") + jc + QLatin1String("\"/>");
    return p;
}

// The block's runs, those of one link together inside its hyperlink element.
QString DocxBody::runs(const QTextBlock& block)
{
    QString out, linked;
    std::optional<QString> openLink, openHref;
    const auto closeLink = [&] {
        if (openLink) out += *openLink + linked + QLatin1String("</w:hyperlink>");
        openLink.reset();
        openHref.reset();
        linked.clear();
    };
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        if (!fragment.isValid()) continue;
        const QTextCharFormat format = fragment.charFormat();
        for (const QString& name : format.anchorNames()) {
            const QString id = QString::number(++m_bookmarks);
            out += QLatin1String("<w:bookmarkStart w:id=\"") + id + QLatin1String("\" w:name=\"") +
                   xmlEscaped(name) + QLatin1String("\"/><w:bookmarkEnd w:id=\"") + id +
                   QLatin1String("\"/>");
        }
        const QString href = format.isAnchor() ? format.anchorHref() : QString();
        if (openHref && *openHref != href) closeLink();
        if (!openLink && !href.isEmpty()) {
            openLink = linkOpening(href);
            if (openLink) openHref = href;
        }
        (openLink ? linked : out) += fragmentRuns(fragment);
    }
    closeLink();
    return out;
}

// A link to a place in the document names its bookmark; any other goes through a relationship.
std::optional<QString> DocxBody::linkOpening(const QString& href)
{
    if (href.startsWith(QLatin1Char('#')))
        return QLatin1String("<w:hyperlink w:anchor=\"") + xmlEscaped(href.mid(1)) + QLatin1String("\">");
    const QUrl url(href);
    if (!url.isValid() || url.isRelative()) return std::nullopt;
    auto id = m_linkIds.constFind(href);
    if (id == m_linkIds.cend()) {
        const QString newId = QStringLiteral("rLink%1").arg(m_links.size() + 1);
        m_links.append({newId, url.toString(QUrl::FullyEncoded)});
        id = m_linkIds.insert(href, newId);
    }
    return QLatin1String("<w:hyperlink r:id=\"") + *id + QLatin1String("\">");
}

QString DocxBody::fragmentRuns(const QTextFragment& fragment)
{
    const QTextCharFormat format = fragment.charFormat();
    if (format.isImageFormat()) return pictureRun(fragment);
    const QString content = runContent(fragment.text());
    if (content.isEmpty()) return {};
    return QLatin1String("<w:r>") + runProperties(format, rightToLeftRun(fragment.text())) + content +
           QLatin1String("</w:r>");
}

// In the order the format's schema demands.
QString DocxBody::runProperties(const QTextCharFormat& f, bool rightToLeft) const
{
    QString p;
    if (const QString family = concreteFamily(f); !family.isEmpty())
        p += QStringLiteral("<w:rFonts w:ascii=\"%1\" w:hAnsi=\"%1\" w:eastAsia=\"%1\" w:cs=\"%1\"/>")
                 .arg(xmlEscaped(family));
    if (f.fontWeight() >= QFont::Bold) p += QLatin1String("<w:b/><w:bCs/>");
    if (f.fontItalic()) p += QLatin1String("<w:i/><w:iCs/>");
    if (f.fontStrikeOut()) p += QLatin1String("<w:strike/>");
    if (f.foreground().style() != Qt::NoBrush)
        p += QLatin1String("<w:color w:val=\"") + f.foreground().color().name().mid(1).toUpper() +
             QLatin1String("\"/>");
    if (hasSize(f)) {
        const QString halfPoints = QString::number(qMax(1L, std::lround(Doc::pointSize(f, m_document) * 2)));
        p += QLatin1String("<w:sz w:val=\"") + halfPoints + QLatin1String("\"/><w:szCs w:val=\"") +
             halfPoints + QLatin1String("\"/>");
    }
    if (f.fontUnderline()) p += QLatin1String("<w:u w:val=\"single\"/>");
    if (f.verticalAlignment() == QTextCharFormat::AlignSuperScript)
        p += QLatin1String("<w:vertAlign w:val=\"superscript\"/>");
    if (f.verticalAlignment() == QTextCharFormat::AlignSubScript)
        p += QLatin1String("<w:vertAlign w:val=\"subscript\"/>");
    if (rightToLeft) p += QLatin1String("<w:rtl/>");
    return p.isEmpty() ? p : QLatin1String("<w:rPr>") + p + QLatin1String("</w:rPr>");
}
