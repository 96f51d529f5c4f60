#include "engines/media/toolrun.h"

#include "core/converterror.h"
#include "core/fmt.h"
#include "core/inputcheck.h"
#include "core/job.h"
#include "core/output.h"
#include "engines/media/libav.h"
#include "engines/media/media.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>

namespace {

// How far the packets of the first picture and sound streams reach.
double ends(const LibAv::Contents& c)
{
    return std::max(c.videoEnd.value_or(0), c.audioEnd.value_or(0));
}

// The least a result meant to last `seconds` may hold: encoders, frame rounding and sources
// whose sound and picture end apart may take half a second or a tenth off, not more.
double least(double seconds)
{
    return seconds - std::max(0.5, 0.1 * seconds);
}

// The most a result meant to last `seconds` may hold, by the same measure.
double most(double seconds)
{
    return seconds + std::max(0.5, 0.1 * seconds);
}

// Whether the file is a PNG picture from its signature to its closing chunk: the one frame of a
// still, whole. The media libraries read no pictures.
bool wholePng(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() < 20) return false;
    const QByteArray start = file.read(8);
    if (!file.seek(file.size() - 12)) return false;
    return start == QByteArray("\x89PNG\r\n\x1a\n", 8) &&
           file.read(12) == QByteArray("\0\0\0\0IEND\xae\x42\x60\x82", 12);
}

// "0.3 s", "6 s", "1:05:00".
QString shown(double seconds)
{
    if (seconds < 10) return QString::number(seconds, 'f', 1) + QStringLiteral(" s");
    return seconds < 60 ? QStringLiteral("%1 s").arg(qRound(seconds)) : Fmt::time(seconds, false);
}

// Throws when a result reaching `reach` seconds, short of the `wanted` length of `parts`, holds
// less than their sources do: ffmpeg stopped early. Otherwise the sources end before the parts
// do, which the notes returned say of each source cut short.
QStringList requireHeld(const QString& name, const QList<ToolRun::Part>& parts, double reach, double wanted)
{
    const auto stoppedEarly = [&] {
        return ConvertError::failed(QStringLiteral("%1 came out %2 long instead of %3: ffmpeg stopped early")
                                        .arg(name, shown(reach), shown(wanted)));
    };
    double held = 0;
    QStringList notes;
    for (const ToolRun::Part& p : parts) {
        const std::optional<LibAv::Contents> source = LibAv::contents(p.source);
        const std::optional<LibAv::Reading> stated = LibAv::read(p.source);
        if (!source || !source->opened || !stated) throw stoppedEarly();
        const double end = ends(*source) > 0 ? ends(*source) : p.range.end;
        held += std::max(0.0, std::min(p.range.end, end) - p.range.start) / p.speed;
        const double says = std::max(stated->videoSeconds, stated->audioSeconds);
        if (end < least(says) && end < p.range.end)
            notes << QStringLiteral("%1 is cut short: %2 of %3 made")
                         .arg(ToolRun::fileName(p.source), shown(end), shown(says));
    }
    if (reach < least(held)) throw stoppedEarly();
    return notes;
}

// Where a part begins in its source: a stream copy at the key frame that holds the frame shown at
// its start, which it shows first.
double partStart(const ToolRun::Part& p)
{
    return p.copied ? std::min(p.range.start, ToolRun::copyFrom(p.source, p.range.start)) : p.range.start;
}

// How long `parts` may really last: a stream copy from the key frame before its range, and a part
// that runs to the end its source's header states as long as the source's packets go, where the
// header understates them (a VBR MP3 without its table of contents).
double longestHeld(const QList<ToolRun::Part>& parts)
{
    double total = 0;
    for (const ToolRun::Part& p : parts) {
        const double start = partStart(p);
        double end = p.range.end;
        const std::optional<LibAv::Reading> stated = LibAv::read(p.source);
        const std::optional<LibAv::Contents> source = LibAv::contents(p.source);
        if (stated && source && source->opened &&
            p.range.end >= std::max(stated->videoSeconds, stated->audioSeconds) - 0.05)
            end = std::max(end, ends(*source));
        total += std::max(0.0, end - start) / p.speed;
    }
    return total;
}

// Throws when the picture or the sound of a result begins more than a frame after its zero, past
// the frames a B-frame picture holds back, and later than that stream begins in the source
// `first` the result starts with, counted from where the part begins (a stream copy: at its key
// frame).
void requireStarts(const LibAv::Contents& made, const QString& name, const ToolRun::Part& first)
{
    // A copy holds back as many frames as its source: Matroska, which stores no decoding times,
    // may show none held back among its first packets. Stored times are often rounded to the
    // millisecond.
    double lead = made.lead;
    if (first.copied)
        if (const std::optional<LibAv::Reading> source = LibAv::read(first.source))
            lead = std::max(lead, source->pictureDelay);
    const double allowed = made.frame + lead + 0.001;
    // Sound that begins with the picture's first frame is in step with it, where a stream copy
    // shows that frame late to make room for the frames it holds back. A copy's sound begins with
    // its first packet after the seek, which Matroska may store a few hundredths of a second
    // after the key frame the picture begins with.
    const double soundAllowed =
        std::max(allowed, made.videoStart.value_or(0) +
                              (first.copied ? std::max(made.frame, 0.1) : made.frame) + 0.001);
    if (made.videoStart.value_or(0) <= allowed && made.audioStart.value_or(0) <= soundAllowed) return;
    const LibAv::Contents source = LibAv::contents(first.source).value_or(LibAv::Contents{});
    const double begins = partStart(first);
    // How far after the part's start the source's stream begins, at the part's speed.
    const auto delay = [&](const std::optional<double>& at) {
        if (!at) return 0.0;
        const double zero = std::min({*at, source.videoStart.value_or(*at), source.audioStart.value_or(*at)});
        return std::max(0.0, *at - zero - begins) / first.speed;
    };
    const auto require = [&](const std::optional<double>& start, const std::optional<double>& inSource,
                             double limit, const QString& kind) {
        if (start && *start > limit + delay(inSource))
            throw ConvertError::failed(
                QStringLiteral("%1 came out with its %2 starting %3 late").arg(name, kind, shown(*start)));
    };
    require(made.videoStart, source.videoStart, allowed, QStringLiteral("picture"));
    require(made.audioStart, source.audioStart, soundAllowed, QStringLiteral("sound"));
}

} // namespace

namespace ToolRun {

std::optional<QString> extension(const QString& source)
{
    const QString e = ext(source);
    return e.isEmpty() ? std::nullopt : std::optional<QString>(e);
}

QString ext(const QString& source)
{
    return QFileInfo(source).suffix().toLower();
}

void checkSource(const QString& source)
{
    InputCheck::refuseGone(source);
    InputCheck::refuseSpecial(source);
    Media::require(QStringLiteral("ffmpeg"));
}

QString destination(const QString& source, const QString& suffix, const std::optional<QString>& ext)
{
    return Output::result(source, QLatin1Char(' ') + suffix, ext);
}

void ffmpeg(const QStringList& args, double duration, Job& job, const Progress& progress)
{
    job.throwIfCancelled();
    Media::ffmpeg(args, duration, &job, progress);
}

void requireContent(const QString& path, const QString& message)
{
    if (const auto contents = LibAv::contents(path)) {
        const bool reaches = std::max(contents->videoEnd.value_or(0), contents->audioEnd.value_or(0)) > 0;
        if (contents->opened && (contents->hasVideo || contents->hasAudio) && reaches) return;
        throw ConvertError::failed(message);
    }
    const Media::Probe probe = Media::probeWithFfprobe(path);
    if ((probe.audioCodec || probe.videoCodec) && probe.duration > 0) return;
    throw ConvertError::failed(message);
}

void refusePastTheEnd(double start, double duration, const QString& message)
{
    if (duration > 0 && start >= duration) throw ConvertError::failed(message);
}

double frameCut(const QString& source, double seconds)
{
    const std::optional<LibAv::ShownFrame> f = LibAv::shownFrame(source, seconds);
    return f ? f->cut : seconds;
}

double copyFrom(const QString& source, double seconds)
{
    return LibAv::keyFrameAt(source, seconds).value_or(seconds);
}

double copySeek(const QString& source, double seconds)
{
    const std::optional<double> key = LibAv::keyFrameAt(source, seconds);
    if (!key) return seconds;
    // The start itself; past the key frame by ffmpeg's margin; just past it, for a seek by decoding
    // times that would land on the next key frame; then further past it, for an index that names
    // a key frame once a second from some time after it (a WMV file's).
    for (const double seek : {seconds, *key + LibAv::seekMargin + 0.001, *key + 0.001, *key + 0.251,
                              *key + 0.501, *key + 1.001}) {
        if (seek < 0) continue;
        const std::optional<LibAv::CopyStart> lands = LibAv::copyStart(source, seek);
        if (lands && std::abs(lands->key - *key) < 0.0005) return seek;
    }
    return seconds;
}

TimeRange frameRange(const QString& source, TimeRange range, bool fast)
{
    // A fast cut starts at the key frame before the start, which holds the frame shown, and a cut
    // moved before a key frame would take the whole group before it. A seek past the start keeps
    // at least a moment to copy after it.
    if (fast) {
        const double seek = copySeek(source, range.start);
        return {seek, std::max(range.end, seek + 0.01)};
    }
    // A cut from the start reads the file from its start, whatever stream begins it.
    TimeRange frames{range.start > 0 ? frameCut(source, range.start) : 0.0, range.end};
    const std::optional<LibAv::ShownFrame> end = LibAv::shownFrame(source, range.end);
    if (end && !end->last && end->cut > frames.start)
        frames.end = end->cut;
    else // no frame to end before (a range before the picture starts keeps its length)
        frames.end = std::max(range.end, frames.start + (range.end - range.start));
    return frames;
}

double length(const QList<Part>& parts)
{
    double total = 0;
    for (const Part& p : parts)
        total += std::max(0.0, p.range.end - p.range.start) / p.speed;
    return total;
}

void requireLength(const QString& path, const QString& name, const QList<Part>& parts, Job& job)
{
    if (QFileInfo(path).size() <= 0) return; // the commit says that nothing was written
    const double wanted = length(parts);
    if (wanted <= 0) {
        if (!wholePng(path))
            throw ConvertError::failed(QStringLiteral("%1 came out without a whole picture").arg(name));
        return;
    }
    const std::optional<LibAv::Contents> made = LibAv::contents(path, QFileInfo(name).suffix().toLower());
    // Packets without times (raw ADTS) reach nowhere: the header's length stands in.
    const double packets = made && made->opened ? ends(*made) : 0;
    const double reach = packets > 0 ? packets : Media::probe(path).duration;
    QStringList notes;
    if (reach < least(wanted))
        notes = requireHeld(name, parts, reach, wanted);
    else if (reach > most(wanted) && reach > most(longestHeld(parts)))
        throw ConvertError::failed(
            QStringLiteral("%1 came out %2 long instead of %3: ffmpeg wrote more than was asked for")
                .arg(name, shown(reach), shown(wanted)));
    if (made && made->opened) requireStarts(*made, name, parts.first());
    // A copied stream is done once it plays from its start to its end.
    if (std::any_of(parts.begin(), parts.end(), [](const Part& p) { return p.copied; }))
        if (const std::optional<QString> kind = LibAv::undecodable(path, QFileInfo(name).suffix().toLower()))
            throw ConvertError::failed(
                QStringLiteral("%1 came out with a %2 that can’t be played").arg(name, *kind));
    for (const QString& note : notes)
        job.addNote(note);
}

QString writeTo(const QString& destination, const QList<Part>& parts, Job& job, const Progress& progress,
                const std::function<QStringList(const QString&)>& argsFor, const QString& empty,
                const std::function<void(const QString&)>& finish)
{
    return Output::write(
        destination,
        [&](const QString& temporary) {
            ffmpeg(argsFor(temporary), length(parts), job, progress);
            if (finish) finish(temporary);
            if (!empty.isEmpty()) requireContent(temporary, empty);
            requireLength(temporary, fileName(destination), parts, job);
        },
        &job);
}

QStringList write(const Part& made, const QString& suffix, Job& job, const Progress& progress,
                  const std::function<QStringList(const QString&)>& argsFor, const QString& empty,
                  const std::function<void(const QString&)>& finish)
{
    return {writeTo(destination(made.source, suffix, extension(made.source)), {made}, job, progress, argsFor,
                    empty, finish)};
}

QString fileName(const QString& path)
{
    return QFileInfo(path).fileName();
}

} // namespace ToolRun
