#pragma once

#include "core/progress.h"

#include <QStringList>

class Job;

// The Merge PDFs tool's work, on a worker thread.
namespace MergePDFWork {

// Every page of `files`, in that order, in one new PDF "<first> Merged.pdf" in the first file's
// output folder, through the heavy module. Returns the path written; throws ConvertError.
QStringList merge(const QStringList& files, Job& job, const Progress& progress);

// The self-test's merge: sample.pdf in `samples` twice over, "sample Merged.pdf" of twice its
// pages.
QStringList selfCheck(const QString& samples, Job& job);

} // namespace MergePDFWork
