#include "tools/video/redact/redactvideowork.h"

#include "core/converterror.h"
#include "core/job.h"
#include "core/scratchfolder.h"
#include "engines/media/keptstreams.h"
#include "engines/media/libav.h"
#include "engines/media/media.h"
#include "engines/media/mediastreams.h"
#include "engines/media/timecode.h"
#include "engines/media/toolrun.h"
#include "engines/media/videoops.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cmath>

namespace {

QString n(int value)
{
    return QString::number(value);
}

QString clip(const QString& samples)
{
    return QDir(samples).filePath(QStringLiteral("clip.mp4"));
}

} // namespace

namespace RedactVideoWork {

TimeRange shownTimes(const QString& source, TimeRange range)
{
    // The graph's `t` is each frame's start, and its times are written to the millisecond: the
    // start moves to the cut before the frame shown there, the end 0.8 ms past the start of the
    // frame shown there, less than any frame lasts, so that rounding leaves neither out.
    TimeRange times{ToolRun::frameCut(source, range.start), range.end};
    if (const std::optional<LibAv::ShownFrame> end = LibAv::shownFrame(source, range.end))
        times.end = std::max(range.end, end->start + 0.0008);
    return times;
}

ToolArgs::BoxExpr coverExpr(const QRectF& box)
{
    // Outwards to even pixels, as the picture's half-size colour planes place a box: rounding
    // inwards, or a crop that starts a row higher, would leave an edge of what it hides showing.
    using ToolArgs::fixed;
    const auto from = [](const char* side, double at) {
        return QStringLiteral("trunc(%1*%2/2)*2").arg(QLatin1String(side), fixed(at, 5));
    };
    const auto size = [&](const char* side, double at, double extent) {
        return QStringLiteral("'min(%1,ceil(%1*%2/2)*2)-%3'")
            .arg(QLatin1String(side), fixed(at + extent, 5), from(side, at));
    };
    return {size("iw", box.x(), box.width()), size("ih", box.y(), box.height()), from("iw", box.x()),
            from("ih", box.y())};
}

int pixelBlock(const QRectF& box, QSize picture)
{
    // The box's size in whole even pixels. A fixed block leaves large text
    // readable: letters many blocks high keep their shapes.
    const auto even = [](double side) { return int(std::floor(side / 2)) * 2; };
    const int shorter = std::min(even(picture.width() * box.width()), even(picture.height() * box.height()));
    return std::clamp((shorter + 2) / 3, 18, 1024);
}

QString redactGraph(const QList<QRectF>& boxes, RedactStyle style, const std::optional<TimeRange>& range,
                    QSize picture)
{
    using ToolArgs::fixed;
    const QString enable =
        range ? QStringLiteral(":enable='between(t,%1,%2)'").arg(fixed(range->start, 3), fixed(range->end, 3))
              : QString();
    // The blur's radius is capped by half the box (and half the chroma plane), which a fixed
    // radius would exceed on small boxes.
    const QString blur = QStringLiteral("boxblur=luma_radius='min(20,min(w,h)/2)':luma_power=4:"
                                        "chroma_radius='min(20,min(cw,ch)/2)':chroma_power=4");
    QStringList chains;
    QString label = QStringLiteral("0:v:0");
    for (int i = 0; i < boxes.size(); ++i) {
        const ToolArgs::BoxExpr b = coverExpr(boxes[i]);
        const QString s = QStringLiteral("s") + n(i);
        if (style == RedactStyle::blur || style == RedactStyle::pixelate) {
            const QString block = n(pixelBlock(boxes[i], picture));
            const QString effect =
                style == RedactStyle::blur ? blur : QStringLiteral("pixelize=w=%1:h=%1").arg(block);
            chains << QStringLiteral("[%1]split[b%2][c%2];[c%2]crop=%3:%4:%5:%6,%7[e%2];[b%2][e%2]overlay=")
                              .arg(label, n(i), b.w, b.h, b.x, b.y, effect) +
                          QStringLiteral("trunc(W*%1/2)*2:trunc(H*%2/2)*2")
                              .arg(fixed(boxes[i].x(), 5), fixed(boxes[i].y(), 5)) +
                          enable + QLatin1Char('[') + s + QLatin1Char(']');
        } else {
            const QString color =
                style == RedactStyle::black ? QStringLiteral("black") : QStringLiteral("white");
            chains << QStringLiteral("[%1]drawbox=x=%2:y=%3:w=%4:h=%5:color=%6:t=fill")
                              .arg(label, b.x, b.y, b.w, b.h, color) +
                          enable + QLatin1Char('[') + s + QLatin1Char(']');
        }
        label = s;
    }
    chains << QLatin1Char('[') + label + QLatin1Char(']') + VideoOps::evenSides() + QStringLiteral("[v]");
    return chains.join(QLatin1Char(';'));
}

QStringList args(const QString& source, const QList<QRectF>& boxes, RedactStyle style,
                 const std::optional<TimeRange>& range, QSize picture, const QString& ext, const QString& out,
                 const ToolArgs::Extras& extras)
{
    // Like a redacted photo, the copy keeps none of the file's global metadata (names, places)
    // nor its streams' tags. Dropping all metadata at once would strip the chapters' titles too,
    // and an MP4 then refers to a chapter track that the muxer leaves out. An attachment keeps
    // the two tags a Matroska file can't be written without (extraOutputs sets them).
    return QStringList{QStringLiteral("-i"),
                       source,
                       QStringLiteral("-filter_complex"),
                       redactGraph(boxes, style, range, picture),
                       QStringLiteral("-map"),
                       QStringLiteral("[v]"),
                       QStringLiteral("-map"),
                       QStringLiteral("0:a?"),
                       QStringLiteral("-map_metadata:g"),
                       QStringLiteral("-1"),
                       QStringLiteral("-map_metadata:s"),
                       QStringLiteral("-1")} +
           Media::videoArgs(ext, ToolArgs::videoCrf) +
           QStringList{QStringLiteral("-c:a"), QStringLiteral("copy")} + ToolArgs::faststart(ext) +
           ToolArgs::extraOutputs(extras, 1) + QStringList{out};
}

QStringList checkBlur(const QString& samples, Job& job)
{
    return ToolOps::redactVideo(clip(samples), {QRectF(0.1, 0.1, 0.3, 0.3)}, RedactStyle::blur, std::nullopt,
                                job, {});
}

QStringList checkPixelateRange(const QString& samples, Job& job)
{
    return ToolOps::redactVideo(clip(samples), {QRectF(0.1, 0.1, 0.3, 0.3), QRectF(0.5, 0.5, 0.2, 0.2)},
                                RedactStyle::pixelate, TimeRange{1.0, 2.0}, job, {});
}

QStringList checkBlack(const QString& samples, Job& job)
{
    return ToolOps::redactVideo(clip(samples), {QRectF(0.4, 0.4, 0.2, 0.1)}, RedactStyle::black,
                                TimeRange{0.5, 1.5}, job, {});
}

} // namespace RedactVideoWork

namespace ToolOps {

QStringList redactVideo(const QString& source, const QList<QRectF>& boxes, RedactStyle style,
                        const std::optional<TimeRange>& range, Job& job, const Progress& progress)
{
    if (boxes.isEmpty()) throw ConvertError::unsupported(QStringLiteral("There are no areas to redact"));
    ToolRun::checkSource(source);
    const QString ext = ToolRun::ext(source);
    const Media::Probe probe = Media::probe(source);
    const double duration = probe.duration;
    const QList<Media::Stream> streams = Media::streams(source);
    // A cover picture may show what the boxes hide.
    const auto covers =
        std::count_if(streams.begin(), streams.end(), [](const Media::Stream& s) { return s.cover; });
    if (covers == 1)
        job.addNote(
            QStringLiteral("The cover picture was left out: it may show what the redacted areas hide"));
    else if (covers > 1)
        job.addNote(
            QStringLiteral("The cover pictures were left out: they may show what the redacted areas hide"));
    // Like the dates the copy leaves behind, a timecode counted from the time of day tells when
    // the film was recorded.
    if (Timecode::of(streams))
        job.addNote(QStringLiteral("The timecode was left out: it may tell when the film was recorded"));
    // The tracks' languages are not the file's metadata that the copy leaves behind; their titles
    // are free text that may name someone.
    const ScratchFolder scratch;
    ToolArgs::Extras extras =
        KeptStreams::copied(source, streams, ext, {.covers = false}, scratch.path(), job);
    for (ToolArgs::Extras::Copied& c : extras.copied)
        c.title.clear();
    for (const Media::Stream& a : Media::streamsOf(streams, Media::Stream::Kind::audio))
        extras.sound << ToolArgs::Extras::Tags{a.language, {}};
    const std::optional<TimeRange> times =
        range ? std::optional<TimeRange>(RedactVideoWork::shownTimes(source, *range)) : std::nullopt;
    return ToolRun::write(
        {source, {0, duration}}, QStringLiteral("Redacted"), job, progress, [&](const QString& temporary) {
            return RedactVideoWork::args(source, boxes, style, times, QSize(probe.width, probe.height), ext,
                                         temporary, extras);
        });
}

} // namespace ToolOps
