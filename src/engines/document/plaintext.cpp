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
    paragraphs.setBottomMargin(6);
    QTextCursor cursor(doc.get());
    cursor.select(QTextCursor::Document);
    cursor.mergeCharFormat(chars);
    cursor.mergeBlockFormat(paragraphs);
    return doc;
}

} // namespace Doc
