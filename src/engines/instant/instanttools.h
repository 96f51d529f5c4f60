#pragma once

#include "core/progress.h"
#include "core/toolid.h"

#include <QPointF>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class Job;

// The four tools that need no window: remove audio, split PDF, extract archive and create PDF.
// The operations block the calling thread and throw ConvertError; results appear only once
// complete (they are built under hidden ".tolvane-" names and committed through Output), and
// nothing of a failed or cancelled run is left behind.
namespace InstantTools {

// One row per tool that needs no window, read by the wheel's dispatcher and the command line
// alike: the title of its job and its work, over each file in turn or over all files at once.
struct Tool
{
    ToolID tool;
    const char* title;
    QStringList (*each)(const QString& file, Job& job, const Progress& progress);
    QStringList (*whole)(const QStringList& files, Job& job, const Progress& progress);
};

// The row of muteVideo, splitPDF, extractArchive or createPDF; null for a tool that needs its
// window.
const Tool* find(ToolID tool);

// Blocks: the tool's work over `files`, each in turn, stopping at the first failure (whose
// ConvertError is thrown; results written before it stay).
QStringList work(const Tool& tool, const QStringList& files, Job& job, const Progress& progress);

// Main thread: starts the tool's job over the dropped files, shown near `at`, and returns at
// once. Returns false, doing nothing, for a tool that needs its window.
bool run(ToolID tool, const QStringList& files, std::optional<QPointF> at);

// A copy of the video streams without any audio, "<base> Muted.<ext>" in the output folder.
QStringList mute(const QString& source, Job& job, const Progress& progress);

// A folder "<base> Pages" in the output folder holding "<base> Page 001.pdf", … one page each,
// with the source's document information. A page that can't be read is left out and noted to
// `job` as the conversions note it; the damage errors of the conversions otherwise ("… is
// damaged: none of its pages could be read", "… has no pages").
QStringList splitPDF(const QString& source, Job& job, const Progress& progress);
// The name of page `number` (1-based) of a split: "Report Page 007.pdf", "Report Page 1000.pdf".
QString pageFileName(const QString& base, int number);

// One PDF of the images in order, one page each, sized from the image's pixels and resolution
// (pixels × 72 / dpi points; 72 dpi when the file states none). Named after the first image
// ("beach and 2 more"). Images are decoded one at a time and released once their page is out.
QStringList createPDF(const QStringList& images, Job& job, const Progress& progress);
// The name of the PDF made from `images`: the first one's base name, " and N more" after it.
QString createdPDFName(const QStringList& images);

} // namespace InstantTools
