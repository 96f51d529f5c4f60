#pragma once

#include <memory>

namespace tesseract {
class TessBaseAPI;
}

// Tesseract's engines, shared by every thread that reads. Making one costs more than reading a
// page of little text, so the engines made for a piece of work (a document, a photo's search) are
// kept for its next readings while any work runs; once the last has ended they all go, with the
// memory they hold: tens of megabytes each, and more with every page an engine has read.
namespace EngineCache {

// One piece of work that reads: engines are kept between readings while one is held. Any thread.
class Work
{
  public:
    Work();
    ~Work();
    Work(const Work&) = delete;
    Work& operator=(const Work&) = delete;
};

// An engine lent to one reading, kept or deleted when the lease goes, its image and results
// cleared. Throws ConvertError when Tesseract or its English data is missing. Any thread.
class Lease
{
  public:
    Lease();
    ~Lease();
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;

    tesseract::TessBaseAPI& api() const { return *m_api; }

  private:
    std::unique_ptr<tesseract::TessBaseAPI> m_api;
};

// How many engines there are now, lent or kept.
int engines();

} // namespace EngineCache
