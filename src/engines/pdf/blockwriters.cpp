#include "engines/pdf/blocks.h"
#include "engines/pdftext/pdftext.h"

#include "core/xml.h"

#include <QTextCursor>
#include <QTextDocument>

namespace PDFEngine {

namespace {

const QString family = QStringLiteral("Helvetica");

QTextCharFormat font(double size, bool bold)
{
    QTextCharFormat format;
    format.setFontFamilies(QStringList{family});
    format.setFontPointSize(size);
    if (bold) format.setFontWeight(QFont::Bold);
    return format;
}

} // namespace

QString markdown(const QList<Block>& blocks)
{
    QStringList lines;
    const auto add = [&lines](const QString& line) {
        // Never a blank line first or two in a row.
        if (line.isEmpty() && (lines.isEmpty() || lines.last().isEmpty())) return;
        lines.append(line);
    };
    bool inList = false;
    for (const Block& block : blocks) {
        // A list ends with a blank line: a line right after it would read as its last item's.
        if (inList && block.kind != Block::Kind::bullet) add({});
        inList = block.kind == Block::Kind::bullet;
        switch (block.kind) {
        case Block::Kind::heading:
            add(QString(block.level, QLatin1Char('#')) + QLatin1Char(' ') + block.text);
            add({});
            break;
        case Block::Kind::paragraph:
            add(block.text);
            add({});
            break;
        case Block::Kind::bullet:
            add(QLatin1String("- ") + block.text);
            break;
        case Block::Kind::pageBreak:
            add({});
            break;
        }
    }
    return PDFText::trimmed(lines.join(QLatin1Char('\n')), true) + QLatin1Char('\n');
}

void attributed(const QList<Block>& blocks, QTextDocument& document)
{
    document.clear();
    QTextCursor cursor(&document);
    const QTextCharFormat body = font(11, false);
    bool first = true;
    for (const Block& block : blocks) {
        QTextBlockFormat paragraph;
        QTextCharFormat chars = body;
        QString text = block.text;
        switch (block.kind) {
        case Block::Kind::heading:
            chars = font(block.level == 1 ? 20 : block.level == 2 ? 16 : 13, true);
            paragraph.setHeadingLevel(block.level);
            paragraph.setBottomMargin(8);
            break;
        case Block::Kind::paragraph:
            paragraph.setBottomMargin(8);
            break;
        case Block::Kind::bullet:
            // The glyph hangs at 12 pt, the text and its wrapped lines start at 24 pt.
            text = QStringLiteral("•\t") + text;
            paragraph.setBottomMargin(3);
            paragraph.setLeftMargin(24);
            paragraph.setTextIndent(-12);
            paragraph.setTabPositions({QTextOption::Tab(24, QTextOption::LeftTab)});
            break;
        case Block::Kind::pageBreak:
            break;
        }
        if (first) {
            cursor.setBlockFormat(paragraph);
            cursor.setBlockCharFormat(chars);
            first = false;
        } else {
            cursor.insertBlock(paragraph, chars);
        }
        cursor.insertText(text, chars);
    }
}

QString html(const QList<Block>& blocks)
{
    QString out;
    bool inList = false;
    for (const Block& block : blocks) {
        if (block.kind == Block::Kind::bullet) {
            if (!inList) out += QLatin1String("<ul>\n");
            inList = true;
            out += QLatin1String("<li>") + xmlEscaped(block.text) + QLatin1String("</li>\n");
            continue;
        }
        if (inList) out += QLatin1String("</ul>\n");
        inList = false;
        if (block.kind == Block::Kind::heading) {
            const QString tag = QLatin1Char('h') + QString::number(block.level);
            out += QLatin1Char('<') + tag + QLatin1Char('>') + xmlEscaped(block.text) + QLatin1String("</") +
                   tag + QLatin1String(">\n");
        } else if (block.kind == Block::Kind::paragraph) {
            out += QLatin1String("<p>") + xmlEscaped(block.text) + QLatin1String("</p>\n");
        }
    }
    if (inList) out += QLatin1String("</ul>\n");
    return out;
}

} // namespace PDFEngine
