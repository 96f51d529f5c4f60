#include "engines/document/plaintext.h"

#include <QTextCursor>

namespace Doc {

std::unique_ptr<QTextDocument> plainAttributed(const QString& text)
{
    auto doc = std::make_unique<QTextDocument>();
    doc->setPlainText(text);
    QTextCharFormat chars;
    chars.setFontFamilies({QStringLiteral("Helvetica")});
    chars.setFontPointSize(12);
    chars.setForeground(Qt::black);
    QTextBlockFormat paragraphs;
    paragraphs.setBottomMargin(8); // 6 pt in the document's CSS pixels
    QTextCursor cursor(doc.get());
    cursor.select(QTextCursor::Document);
    cursor.mergeCharFormat(chars);
    cursor.mergeBlockFormat(paragraphs);
    return doc;
}

QString plainString(const QTextDocument& document)
{
    // Unlike toPlainText(), which turns no-break spaces into plain ones.
    QString text = document.toRawText();
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case QChar::ParagraphSeparator:
        case QChar::LineSeparator:
        case 0xFDD0: // table and frame boundaries
        case 0xFDD1:
            out += QLatin1Char('\n');
            break;
        case QChar::ObjectReplacementCharacter:
            break;
        default:
            out += c;
        }
    }
    return out;
}

} // namespace Doc
