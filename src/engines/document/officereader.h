#pragma once

#include <QString>
#include <QTextDocument>
#include <memory>

class Job;

namespace Doc {

// A word-processing document (DOC, DOCX, ODT, RTF, an RTFD package, a Pages document) read by
// headless LibreOffice into HTML and from there into a document, pictures included (held by the
// document, so nothing is left on disk). Cancelling `job` ends LibreOffice. Throws ConvertError:
// missingTool without LibreOffice, cancelled, failed when LibreOffice can't read the file.
std::unique_ptr<QTextDocument> readThroughOffice(const QString& path, Job* job);

} // namespace Doc
