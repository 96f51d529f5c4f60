#include "tools/audio/visualizer/visualizerwork.h"

#include "core/converterror.h"
#include "core/inputcheck.h"
#include "core/job.h"
#include "core/scratchfolder.h"
#include "engines/heavyengines.h"
#include "engines/media/media.h"
#include "engines/media/mediastreams.h"
#include "engines/media/toolargs.h"
#include "engines/media/toolrun.h"
#include "engines/media/waveheader.h"

#include <QDir>
#include <QRegularExpression>
#include <algorithm>

namespace {

// Only a plain colour reaches the filter graph, never text that could add filters of its own.
void checkColor(const QString& color)
{
    static const QRegularExpression hex(QStringLiteral("^[0-9A-Fa-f]{6}$"));
    if (!hex.match(color).hasMatch())
        throw ConvertError::unsupported(
            QStringLiteral("“%1” is not a colour of six hexadecimal digits").arg(color));
}

// The background as a PNG that ffmpeg reads as nothing but a PNG: upright, any format the
// image engine reads, and no file name that ffmpeg would take for a numbered sequence.
void writeBackground(const QString& image, const QString& png, const VisualFrame& frame)
{
    try {
        Modules::entries<HeavyEngines>().coverPng(image, png, frame.width, frame.height);
    } catch (const ConvertError& e) {
        if (e.isCancelled()) throw;
        throw ConvertError::failed(
            QStringLiteral("Couldn’t read the background picture %1").arg(ToolRun::fileName(image)),
            e.message());
    }
}

QString integer(int value)
{
    return QString::number(value);
}

// One colour per channel: showfreqs draws a channel without a colour of its own in white.
QString everyChannel(const QString& color, int channels)
{
    return QStringList(std::max(channels, 1), QStringLiteral("0x") + color).join(QLatin1Char('|'));
}

// The film holds the drawing and the sound: whatever else the song carries is named, one note
// per stream, and a broadcast WAVE file's bext chunk.
void nameLeftOut(const QString& source, const QList<Media::Stream>& streams, Job& job)
{
    const QString why = QStringLiteral("the video holds the drawing and the sound only");
    if (WaveHeader::broadcast(source))
        job.addNote(
            QStringLiteral("The broadcast chunk (its time reference and coding history) was left out: ") +
            why);
    int picture = 0, subtitle = 0, attachment = 0, data = 0;
    for (const Media::Stream& s : streams) {
        using Kind = Media::Stream::Kind;
        if (s.kind == Kind::video && s.cover)
            job.addNote(QStringLiteral("The cover picture was left out: ") + why);
        else if (s.kind == Kind::video)
            job.addNote(QStringLiteral("The picture track “%1” was left out: %2")
                            .arg(Media::streamName(s, ++picture), why));
        else if (s.kind == Kind::subtitle)
            job.addNote(QStringLiteral("The subtitles “%1” were left out: %2")
                            .arg(Media::streamName(s, ++subtitle), why));
        else if (s.kind == Kind::attachment)
            job.addNote(
                QStringLiteral("The attached file “%1” was left out: %2")
                    .arg(s.fileName.isEmpty() ? QStringLiteral("number %1").arg(++attachment) : s.fileName,
                         why));
        else if (s.kind == Kind::other)
            ++data;
    }
    if (data == 1) job.addNote(QStringLiteral("A data track was left out: ") + why);
    if (data > 1) job.addNote(QStringLiteral("%1 data tracks were left out: %2").arg(data).arg(why));
}

QString sample(const QString& samples, const char* name)
{
    return QDir(samples).filePath(QString::fromLatin1(name));
}

} // namespace

namespace VisualizerWork {

QString graph(VisualShape shape, VisualStyle style, const QString& color, int channels, bool background)
{
    const VisualFrame f = visualFrame(shape);
    const QString frame = integer(f.width) + QLatin1Char('x') + integer(f.height);
    const QString strip = integer(f.width) + QLatin1Char('x') + integer(f.strip);
    QString v;
    switch (style) {
    case VisualStyle::wave:
        v = QStringLiteral("showwaves=s=%1:mode=cline:rate=30:colors=0x%2:scale=sqrt").arg(strip, color);
        break;
    case VisualStyle::line:
        v = QStringLiteral("showwaves=s=%1:mode=line:rate=30:colors=0x%2:draw=full").arg(strip, color);
        break;
    case VisualStyle::bars:
        v = QStringLiteral("showfreqs=s=%1:mode=bar:ascale=sqrt:fscale=log:colors=%2:win_size=2048:overlap=0,"
                           "fps=30")
                .arg(strip, everyChannel(color, channels));
        break;
    }
    const QString size = integer(f.width) + QLatin1Char(':') + integer(f.height);
    const QString b =
        background
            ? QStringLiteral("color=black:s=%1:r=30[c];[1:v]scale=%2:force_original_aspect_ratio=increase,"
                             "crop=%2,setsar=1[img];[c][img]overlay=0:0[bg]")
                  .arg(frame, size)
            : QStringLiteral("color=black:s=%1:r=30[bg]").arg(frame);
    // The sound, and the picture drawn from it, as the source's player hears it: sound that begins
    // after the source's start comes after as much silence.
    return b + QStringLiteral(";[0:a]") + Media::soundFromZero + QStringLiteral(",asplit[shown][a];[shown]") +
           v +
           QStringLiteral(",format=rgba,colorkey=black:0.01:0.0[w];[bg][w]overlay=0:(H-h)/2:shortest=1,"
                          "format=yuv420p[v]");
}

QStringList args(const QString& source, VisualShape shape, VisualStyle style, const QString& color,
                 int channels, const std::optional<QString>& background, double duration, const QString& out)
{
    QStringList inputs{QStringLiteral("-i"), source};
    // The picture is a PNG the operation wrote itself, read as exactly that.
    if (background)
        inputs << QStringLiteral("-protocol_whitelist") << QStringLiteral("file") << QStringLiteral("-f")
               << QStringLiteral("png_pipe") << QStringLiteral("-i") << *background;
    return inputs + QStringList{QStringLiteral("-filter_complex"),
                                graph(shape, style, color, channels, background.has_value()),
                                QStringLiteral("-map"),
                                QStringLiteral("[v]"),
                                QStringLiteral("-map"),
                                QStringLiteral("[a]"),
                                QStringLiteral("-c:v"),
                                QStringLiteral("libx264"),
                                QStringLiteral("-preset"),
                                QStringLiteral("veryfast"),
                                QStringLiteral("-crf"),
                                QStringLiteral("22"),
                                QStringLiteral("-c:a"),
                                QStringLiteral("aac"),
                                QStringLiteral("-b:a"),
                                QStringLiteral("192k"),
                                QStringLiteral("-shortest"),
                                QStringLiteral("-t"),
                                ToolArgs::fixed(duration, 3),
                                QStringLiteral("-movflags"),
                                QStringLiteral("+faststart"),
                                out};
}

QStringList checkWave(const QString& samples, Job& job)
{
    return ToolOps::visualize(sample(samples, "song.mp3"), VisualShape::square, VisualStyle::wave,
                              QStringLiteral("FF5200"), std::nullopt, job, [](double) {});
}

QStringList checkBarsOnPicture(const QString& samples, Job& job)
{
    return ToolOps::visualize(sample(samples, "song.mp3"), VisualShape::portrait, VisualStyle::bars,
                              QStringLiteral("FFFFFF"), sample(samples, "photo.jpg"), job, [](double) {});
}

} // namespace VisualizerWork

namespace ToolOps {

QStringList visualize(const QString& source, VisualShape shape, VisualStyle style, const QString& color,
                      const std::optional<QString>& background, Job& job, const Progress& progress)
{
    checkColor(color);
    ToolRun::checkSource(source);
    const Media::Probe probe = Media::probe(source);
    // The length bounds the video; without it ffmpeg would write an empty one.
    if (!(probe.duration > 0))
        throw ConvertError::failed(
            QStringLiteral("Couldn’t read the length of %1").arg(ToolRun::fileName(source)));
    const VisualFrame frame = visualFrame(shape);
    const QString destination =
        ToolRun::destination(source, QStringLiteral("Visualizer"), QStringLiteral("mp4"));

    std::optional<ScratchFolder> scratch;
    std::optional<QString> png;
    if (background) {
        InputCheck::refuseGone(*background);
        job.throwIfCancelled();
        scratch.emplace();
        png = scratch->file(QStringLiteral("background.png"));
        writeBackground(*background, *png, frame);
    }
    const QStringList results = {ToolRun::writeTo(
        destination, {{source, {0, probe.duration}}}, job, progress,
        [&](const QString& temporary) {
            return VisualizerWork::args(source, shape, style, color, probe.channels, png, probe.duration,
                                        temporary);
        },
        QStringLiteral("The video of %1 came out empty: its sound could not be read")
            .arg(ToolRun::fileName(source)))};
    nameLeftOut(source, Media::streams(source), job);
    return results;
}

} // namespace ToolOps
