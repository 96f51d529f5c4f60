#pragma once

#include <QString>
#include <functional>

class Job;
namespace Poppler {
class Document;
}

namespace PDFEngine {

// Runs `work(document, i)` for every page index i in [0, count): on the calling thread with `doc`
// and on up to one helper thread per further core, each helper with a document of its own opened
// from `pdf` (a Poppler document must stay on one thread; a helper that can't open it leaves its
// share to the others). Pages are taken in order as threads come free. Throws the first failure of
// any page, after which the others stop at the end of their current page, and
// ConvertError::cancelled when `job` is cancelled, checked before each page and at the end.
void eachPage(const Poppler::Document& doc, const QString& pdf, int count, Job& job,
              const std::function<void(const Poppler::Document& document, int index)>& work);

} // namespace PDFEngine
