#pragma once

#include "core/filecategory.h"
#include "core/progress.h"
#include "engines/compress/compresssettings.h"
#include "engines/media/media.h"
#include "engines/media/toolargs.h"
#include "tools/selfchecks.h"

#include <QStringList>
#include <optional>

class Job;

// The Compress tool's work on one file, on a worker thread, and the texts its window shows.
namespace CompressWork {

// The kind of every file of a drop, taken from the first: image, audio and video have their
// own controls; everything else is compressed as a PDF.
enum class Kind { image, audio, video, pdf };
Kind kind(const QString& firstFile);

// What the window's controls chose, copied when Compress is pressed.
struct Choices
{
    ImageCompressSettings image;
    CompressLevel level = CompressLevel::balanced; // video and PDF
    int maxHeight = 0;                             // video lines; 0 keeps the height
    bool hevc = false;
    int bitrate = 128; // audio, kbit/s
};

// "Compress Images", "… Audio", "… Video", "… PDF".
QString title(Kind kind);
// The result's extension: the file's own in lower case, bmp as png, wav and aiff as flac.
QString resultExtension(Kind kind, const QString& file);
// ffmpeg's arguments for the audio route into `output`, chosen by its extension: flac at the
// strongest setting, mp3 at `bitrate`, every other container's own encoder at `bitrate`, with the
// cover pictures `kept` keeps (KeptStreams::copied() for a result that is sound only); sound that
// begins after the source's start keeps the silence before it.
QStringList audioArgs(const QString& file, const QString& output, int bitrate, const Media::Probe& probe,
                      const ToolArgs::Extras& kept = {});

// Writes "<base> Compressed.<ext>" for `file` (numbered while taken) beside it or in the output
// folder and returns it; a size goal out of reach is said in a note on the job. A copy that is
// not smaller than `file` is not kept: nothing is left behind, the job gets the keptNothing()
// note and the list is empty. Throws ConvertError.
QStringList compressFile(const QString& file, Kind kind, const Choices& choices, Job& job,
                         const Progress& progress);
// The note for a file whose copy came out no smaller: "<name> is already as small as this level
// makes it" (this bitrate, these settings for the size goals).
QString keptNothing(const QString& file, Kind kind, const Choices& choices);

// The header's estimate: "1.2 MB (−48%)", "310 KB each (+12%)".
QString estimateText(qint64 bytes, qint64 sourceBytes, int files);
// The slider rows' value texts: "50%", "950 KB", "1.0 MB".
QString percentText(double value);
QString targetText(double kb);

// The self-test's rows over the samples in `samples`: the copy kept, or, when it came out no
// smaller, the sample alone (the tool's right answer, not a fault). Throws ConvertError.
SelfChecks::Outcome checkImage(const QString& samples, Job& job);
SelfChecks::Outcome checkPDF(const QString& samples, Job& job);
SelfChecks::Outcome checkAudio(const QString& samples, Job& job);
SelfChecks::Outcome checkVideo(const QString& samples, Job& job);

} // namespace CompressWork
