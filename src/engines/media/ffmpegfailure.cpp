#include "engines/media/media.h"

#include "core/converterror.h"

#include <array>

namespace {

struct Reason
{
    std::initializer_list<const char*> signs; // any of these in ffmpeg's standard error
    const char* text;
};

// In order: the first reason whose sign appears wins, so causes come before their consequences
// ("No space left on device" before the muxer's complaint about its trailer).
const std::array<Reason, 10> reasons{{
    {{"No space left on device", "Disk quota exceeded", "File too large"}, "The disk is full"},
    {{"Permission denied", "Read-only file system"},
     "Tolvane isn’t allowed to read the file or to write the result"},
    {{"No such file or directory"}, "The file, or the folder for the result, is no longer there"},
    {{"matches no streams"}, "The file has no picture to make a video from"},
    {{"does not contain any stream"}, "The file has no sound or picture this format can hold"},
    {{"Invalid data found when processing input", "moov atom not found", "could not find codec parameters",
      "EBML header parsing failed", "Could not find codec parameters", "Failed to read frame size"},
     "The file can’t be read: it may be damaged or not a media file"},
    {{"Unknown encoder", "Encoder not found", "Unrecognized option", "Option not found"},
     "This ffmpeg lacks an encoder the format needs"},
    {{"Unable to find a suitable output format", "Requested output format"},
     "ffmpeg can’t write this format"},
    {{"Could not find tag for codec", "not currently supported in container",
      "incompatible with output codec", "Could not write header"},
     "This format can’t hold the file’s streams"},
    {{"Error while opening encoder", "Error initializing output stream", "Error while opening decoder"},
     "The encoder can’t work with this file’s picture or sound"},
}};

// The last few lines ffmpeg wrote, as it wrote them.
QString rawTail(const QString& errors)
{
    const QStringList lines = errors.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    return lines.mid(std::max<qsizetype>(0, lines.size() - 5)).join(QLatin1Char('\n'));
}

// Signs that ffmpeg could not finish writing its output although it exited with status 0.
bool writeFailed(const QString& errors)
{
    for (const char* sign : {"Error writing trailer", "Error closing file", "av_interleaved_write_frame()",
                             "No space left on device"})
        if (errors.contains(QLatin1String(sign), Qt::CaseInsensitive)) return true;
    return false;
}

} // namespace

namespace Media {

ConvertError ffmpegFailure(const QString& errors, int status)
{
    const QString tail = rawTail(errors);
    const QString details = tail.isEmpty() ? QStringLiteral("exit %1").arg(status) : tail;
    for (const Reason& reason : reasons)
        for (const char* sign : reason.signs)
            if (errors.contains(QLatin1String(sign), Qt::CaseInsensitive))
                return ConvertError::failed(QString::fromUtf8(reason.text), details);
    // Killed from outside (128 + signal), often for want of memory.
    const QString text = status > 128 ? QStringLiteral("ffmpeg stopped unexpectedly")
                                      : QStringLiteral("ffmpeg couldn’t process the file");
    return ConvertError::failed(text, details);
}

std::optional<ConvertError> unfinishedWrite(const FfmpegReport& report)
{
    if (report.ended && !writeFailed(report.errors)) return std::nullopt;
    return incomplete(report.errors, QStringLiteral("ffmpeg could not finish writing it"));
}

ConvertError incomplete(const QString& errors, const QString& why)
{
    // Only ffmpeg's own words tell that the disk is full: a short file may have other causes.
    const bool full = errors.contains(QLatin1String("No space left on device")) ||
                      errors.contains(QLatin1String("Disk quota exceeded"));
    return ConvertError::failed(full ? QStringLiteral("The disk is full")
                                     : QStringLiteral("The result is incomplete: ") + why,
                                rawTail(errors));
}

} // namespace Media
