#include "engines/compress/videocompressor.h"

#include "core/scratchfolder.h"
#include "engines/media/keptstreams.h"
#include "engines/media/media.h"
#include "engines/media/toolrun.h"
#include "engines/media/videoops.h"

#include <QFileInfo>

namespace {

int h264Crf(CompressLevel level)
{
    return level == CompressLevel::high ? 23 : level == CompressLevel::balanced ? 27 : 31;
}

// x265 reaches a picture like x264's at a rate factor about three steps higher.
int hevcCrf(CompressLevel level)
{
    return h264Crf(level) + 3;
}

bool holdsHevc(const QString& ext)
{
    return ext == QLatin1String("mp4") || ext == QLatin1String("mov") || ext == QLatin1String("mkv");
}

// The container's re-encode with the level's audio bitrate in place of the container's own.
QStringList withAudioRate(QStringList args, const QString& rate)
{
    for (qsizetype i = 0; i + 1 < args.size(); ++i)
        if (args[i] == QLatin1String("-b:a")) args[i + 1] = rate;
    return args;
}

} // namespace

namespace Compressor {

QStringList videoArgs(const QString& source, const QString& destination, CompressLevel level, int maxHeight,
                      bool hevc, int height, const ToolArgs::Extras& extras)
{
    const QString ext = QFileInfo(destination).suffix().toLower();
    const QString filter = maxHeight > 0 && maxHeight < height
                               ? QStringLiteral("scale=-2:%1").arg(maxHeight)
                               : QStringLiteral("scale=trunc(iw/2)*2:trunc(ih/2)*2");
    const QString rate = level == CompressLevel::small ? QStringLiteral("96k") : QStringLiteral("128k");
    QStringList args{"-i", source, "-map", "0:V:0", "-map", "0:a?", "-filter:v:0", filter};
    if (hevc && holdsHevc(ext)) {
        args << QStringList{"-c:v",         "libx265",
                            "-preset",      "medium",
                            "-crf",         QString::number(hevcCrf(level)),
                            "-tag:v:0",     "hvc1",
                            "-x265-params", "log-level=error",
                            "-pix_fmt",     "yuv420p"};
        args << Media::audioArgs(ext, std::nullopt, rate.chopped(1).toInt());
        if (ext != QLatin1String("mkv"))
            args << "-movflags"
                 << "+faststart";
    } else {
        args << withAudioRate(VideoOps::reencode(ext, h264Crf(level)), rate);
    }
    args << ToolArgs::extraOutputs(extras, 1) << "-map_metadata"
         << "0" << destination;
    return args;
}

void video(const QString& source, CompressLevel level, int maxHeight, bool hevc, const QString& destination,
           const QString& shownAs, Job& job, const Progress& progress)
{
    const Media::Probe probe = Media::probe(source);
    const ScratchFolder scratch;
    const QString ext = QFileInfo(destination).suffix().toLower();
    ToolArgs::Extras extras =
        KeptStreams::copied(source, Media::streams(source), ext, {}, scratch.path(), job);
    extras.place = Media::keptPlace(probe, ext);
    Media::ffmpeg(videoArgs(source, destination, level, maxHeight, hevc, probe.height, extras),
                  probe.duration, &job, progress);
    ToolRun::requireLength(destination, QFileInfo(shownAs).fileName(), {{source, {0, probe.duration}}}, job);
}

} // namespace Compressor
