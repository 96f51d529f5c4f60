#include "tools/file/compress/compresswork.h"

#include "core/catalog.h"
#include "core/converterror.h"
#include "core/fmt.h"
#include "core/inputcheck.h"
#include "core/job.h"
#include "core/output.h"
#include "engines/compress/videocompressor.h"
#include "engines/heavyengines.h"
#include "engines/media/keptstreams.h"
#include "engines/media/mediastreams.h"
#include "engines/media/toolargs.h"
#include "engines/media/toolrun.h"

#include <QDir>
#include <QFileInfo>
#include <cmath>

namespace {

// Thrown out of the writer so that it removes its temporary file: the copy is no smaller.
struct NotSmaller
{
};

// A self-check over the sample `name`. A sample that is already as small as the choices make it
// keeps no copy, as the window does, and that is no fault of the tool's.
SelfChecks::Outcome selfCheck(const QString& samples, const char* name, CompressWork::Kind kind,
                              const CompressWork::Choices& choices, Job& job)
{
    const QString file = QDir(samples).filePath(QString::fromLatin1(name));
    const QStringList results = CompressWork::compressFile(file, kind, choices, job, [](double) {});
    if (results.isEmpty()) return SelfChecks::Outcome::alreadySmallest(file);
    return results;
}

} // namespace

namespace CompressWork {

Kind kind(const QString& firstFile)
{
    const std::optional<QString> format = Catalog::format(firstFile);
    const std::optional<FileCategory> category = format ? Catalog::category(*format) : std::nullopt;
    if (category == FileCategory::image) return Kind::image;
    if (category == FileCategory::audio) return Kind::audio;
    if (category == FileCategory::video) return Kind::video;
    return Kind::pdf;
}

QString title(Kind kind)
{
    static const QStringList names{"Compress Images", "Compress Audio", "Compress Video", "Compress PDF"};
    return names[int(kind)];
}

QString resultExtension(Kind kind, const QString& file)
{
    const QString ext = QFileInfo(file).suffix().toLower();
    if (kind == Kind::image && ext == QLatin1String("bmp")) return QStringLiteral("png");
    if (kind == Kind::audio && QStringList{"wav", "aiff", "aif"}.contains(ext)) return QStringLiteral("flac");
    return ext;
}

QStringList audioArgs(const QString& file, const QString& output, int bitrate, const Media::Probe& probe,
                      const ToolArgs::Extras& kept)
{
    const QString ext = QFileInfo(output).suffix().toLower();
    QStringList args{"-i", file, "-map", "0:a"};
    // Sound that begins after the song's start keeps the silence its player hears before it.
    args << ToolArgs::extraOutputs(kept, 1) << QStringList{"-map_metadata", "0", "-af", Media::soundFromZero};
    if (ext == QLatin1String("flac"))
        args << QStringList{"-c:a", "flac", "-compression_level", "12"};
    else if (ext == QLatin1String("mp3"))
        args << QStringList{"-c:a", "libmp3lame", "-b:a", QString::number(bitrate) + QLatin1Char('k')};
    else
        args << Media::audioArgs(ext, probe, bitrate);
    return args << output;
}

QStringList compressFile(const QString& file, Kind kind, const Choices& choices, Job& job,
                         const Progress& progress)
{
    InputCheck::refuseGone(file);
    InputCheck::refuseSpecial(file);
    const QString destination =
        Output::result(file, QStringLiteral(" Compressed"), resultExtension(kind, file));
    const qint64 sourceBytes = QFileInfo(file).size();
    QString missedGoal;
    const auto produce = [&](const QString& temporary) {
        switch (kind) {
        case Kind::image: {
            const qint64 goal = choices.image.mode == ImageCompressMode::quality
                                    ? 0
                                    : Compressor::goalBytes(choices.image, sourceBytes);
            const ImageCompressResult result = Modules::entries<HeavyEngines>().compressImage(
                file, choices.image, temporary, [&job] { return job.isCancelled(); });
            if (!result.metGoal)
                missedGoal = QStringLiteral("%1 can’t be made as small as %2; its smallest copy is %3")
                                 .arg(QFileInfo(file).fileName(), Fmt::byteCount(std::max<qint64>(goal, 0)),
                                      Fmt::byteCount(result.bytes));
            break;
        }
        case Kind::video:
            Compressor::video(file, choices.level, choices.maxHeight, choices.hevc, temporary, destination,
                              job, progress);
            break;
        case Kind::audio: {
            const Media::Probe probe = Media::probe(file);
            const ToolArgs::Extras kept =
                KeptStreams::copied(file, Media::streams(file), QFileInfo(destination).suffix().toLower(),
                                    {.picture = false}, {}, job);
            Media::ffmpeg(audioArgs(file, temporary, choices.bitrate, probe, kept), probe.duration, &job,
                          progress);
            ToolRun::requireLength(temporary, QFileInfo(destination).fileName(),
                                   {{file, {0, probe.duration}}}, job);
            break;
        }
        case Kind::pdf:
            Modules::entries<HeavyEngines>().compressPDF(file, choices.level, temporary, job, progress);
            break;
        }
        job.throwIfCancelled();
        if (QFileInfo(temporary).size() >= sourceBytes) throw NotSmaller{};
    };
    try {
        const QString written = Output::write(destination, produce, &job);
        if (!missedGoal.isEmpty()) job.addNote(missedGoal);
        return {written};
    } catch (const NotSmaller&) {
        job.addNote(keptNothing(file, kind, choices));
        return {};
    }
}

QString keptNothing(const QString& file, Kind kind, const Choices& choices)
{
    const bool byLevel = kind == Kind::pdf || kind == Kind::video ||
                         (kind == Kind::image && choices.image.mode == ImageCompressMode::quality);
    const QString what = byLevel               ? QStringLiteral("this level makes")
                         : kind == Kind::audio ? QStringLiteral("this bitrate makes")
                                               : QStringLiteral("these settings make");
    return QStringLiteral("%1 is already as small as %2 it").arg(QFileInfo(file).fileName(), what);
}

QString estimateText(qint64 bytes, qint64 sourceBytes, int files)
{
    const double change = std::trunc((1 - double(bytes) / double(std::max<qint64>(sourceBytes, 1))) * 100);
    return QStringLiteral("%1%2 (%3%4%)")
        .arg(Fmt::byteCount(bytes), files > 1 ? QStringLiteral(" each") : QString(),
             change >= 0 ? QStringLiteral("−") : QStringLiteral("+"))
        .arg(qint64(std::abs(change)));
}

QString percentText(double value)
{
    return QString::number(qint64(std::trunc(value))) + QLatin1Char('%');
}

QString targetText(double kb)
{
    if (kb < 1000) return QString::number(qint64(std::trunc(kb))) + QStringLiteral(" KB");
    return QString::number(kb / 1024, 'f', 1) + QStringLiteral(" MB");
}

SelfChecks::Outcome checkImage(const QString& samples, Job& job)
{
    Choices choices;
    choices.image = {ImageCompressMode::target, CompressLevel::balanced, 50, 60, 0};
    return selfCheck(samples, "photo.jpg", Kind::image, choices, job);
}

SelfChecks::Outcome checkPDF(const QString& samples, Job& job)
{
    Choices choices;
    choices.level = CompressLevel::small;
    return selfCheck(samples, "sample.pdf", Kind::pdf, choices, job);
}

SelfChecks::Outcome checkAudio(const QString& samples, Job& job)
{
    Choices choices;
    choices.bitrate = 64;
    return selfCheck(samples, "song.mp3", Kind::audio, choices, job);
}

SelfChecks::Outcome checkVideo(const QString& samples, Job& job)
{
    Choices choices;
    choices.level = CompressLevel::small;
    choices.maxHeight = 480;
    choices.hevc = true;
    return selfCheck(samples, "clip.mp4", Kind::video, choices, job);
}

} // namespace CompressWork
