#include "engines/pdf/pageworkers.h"

#include "core/converterror.h"
#include "core/job.h"
#include "engines/pdf/pdfengine.h"

#include <QThread>
#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

namespace PDFEngine {

void eachPage(const Poppler::Document& doc, const QString& pdf, int count, Job& job,
              const std::function<void(const Poppler::Document& document, int index)>& work)
{
    std::atomic<int> next{0};
    std::mutex lock; // guards `failure`
    std::exception_ptr failure;
    const auto run = [&](const Poppler::Document& own) {
        try {
            for (int i = next++; i < count; i = next++) {
                job.throwIfCancelled();
                work(own, i);
            }
        } catch (...) {
            const std::lock_guard<std::mutex> guard(lock);
            if (!failure) failure = std::current_exception();
            next = count; // the others stop after their current page
        }
    };
    std::vector<std::thread> helpers;
    const int threads = std::min(count, std::max(1, QThread::idealThreadCount()));
    for (int t = 1; t < threads; ++t)
        helpers.emplace_back([&] {
            std::unique_ptr<Poppler::Document> own;
            try {
                own = open(pdf);
            } catch (const ConvertError&) {
                return;
            }
            run(*own);
        });
    run(doc);
    for (std::thread& helper : helpers)
        helper.join();
    if (failure) std::rethrow_exception(failure);
    // Pages already under way when the job was cancelled may all have finished.
    job.throwIfCancelled();
}

} // namespace PDFEngine
