#pragma once

#include <QSizeF>
#include <QString>
#include <optional>

class Job;
class QTextDocument;

namespace Doc {

// The most pages a document is laid out into; a longer one is refused, never cut.
inline constexpr int maxPDFPages = 5001;

// The paper of the default locale's region in points: US Letter (612 × 792) in the United
// States, Canada, Mexico and the Philippines and where the locale names no region (C, POSIX),
// A4 (595 × 842) everywhere else.
QSizeF pageSize();

// Lays `document` out on pages of pageSize() with 64-point margins and writes them as a PDF at
// `path` (creator "Tolvane", and `title` when given). The document's page size, margin and
// metrics are changed for the layout. An empty document gives one page. Throws ConvertError:
// failed when the document needs more than maxPDFPages pages or the file can't be created,
// cancelled between pages when `job` is cancelled.
void writePDF(QTextDocument& document, const QString& path, const std::optional<QString>& title,
              Job* job = nullptr);

} // namespace Doc
