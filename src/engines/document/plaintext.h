#pragma once

#include <QString>
#include <QTextDocument>
#include <memory>

namespace Doc {

// `text` as a document in the plain style: Helvetica 12 pt in black, 6 pt after each paragraph.
std::unique_ptr<QTextDocument> plainAttributed(const QString& text);

} // namespace Doc
