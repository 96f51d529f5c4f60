#include "tools/video/speed/speedwork.h"

#include "core/converterror.h"
#include "core/scratchfolder.h"
#include "engines/media/chapters.h"
#include "engines/media/keptstreams.h"
#include "engines/media/media.h"
#include "engines/media/timecode.h"
#include "engines/media/toolrun.h"
#include "engines/media/videoops.h"

#include <QDir>
#include <cmath>

namespace {

void checkSpeed(double speed)
{
    if (!std::isfinite(speed) || !(speed > 0))
        throw ConvertError::unsupported(QStringLiteral("The speed must be a number above zero"));
}

QString n(int value)
{
    return QString::number(value);
}

// The setpts expression that plays the picture `speed` times as fast. The frame-rate filter after
// it rounds each picture to the nearest frame of the source's rate; a picture that starts in the
// later half of a frame (as one moved by a sound encoder's delay does) would be rounded onto the
// next frame, where the picture after it lands too and replaces it. Such a picture is moved back
// to the start of its frame, the others with it; any other start is timed as it was.
QString retimed(double speed)
{
    const QString s = ToolArgs::fixed(speed, 4);
    // The first picture's place in frames of the result, and how far into its frame it starts.
    const QString at = QStringLiteral("STARTPTS*TB*FRAME_RATE/") + s;
    const QString into = QStringLiteral("mod(%1,1)").arg(at);
    // Up to a thousandth of a frame short of the next is taken as on it.
    return QStringLiteral("if(between(%1,0.5,0.999),round((PTS-STARTPTS)/%2+floor(%3)/FRAME_RATE/TB),PTS/%2)")
        .arg(into, s, at);
}

} // namespace

namespace SpeedWork {

QString speedGraph(double speed, bool keepPitch, std::optional<int> sampleRate)
{
    return speedGraph(speed, keepPitch, sampleRate ? QList<int>{*sampleRate} : QList<int>{});
}

QString speedGraph(double speed, bool keepPitch, const QList<int>& sampleRates)
{
    using ToolArgs::fixed;
    // Back to the source's frame rate: frames timed anew would otherwise be filled up to it by the
    // writer, which holds the last one past the end of the sound.
    QString g =
        QStringLiteral("[0:v]setpts='%1',fps=source_fps,%2[v]").arg(retimed(speed), VideoOps::evenSides());
    const bool one = sampleRates.size() == 1;
    for (int k = 0; k < sampleRates.size(); ++k) {
        // atempo times its sound from where the sound began, unscaled: a sound that begins after
        // the picture is moved to its start scaled like the picture's frames first. A new rate
        // scales every time by itself.
        const QString chain =
            keepPitch ? QStringLiteral("asetpts=PTS/%1,").arg(fixed(speed, 4)) + ToolOps::atempo(speed)
                      : QStringLiteral("asetrate=%1*%2,aresample=%1").arg(n(sampleRates[k]), fixed(speed, 4));
        g += (one ? QStringLiteral(";[0:a]") : QStringLiteral(";[0:a:%1]").arg(n(k))) + chain +
             (one ? QStringLiteral("[a]") : QStringLiteral("[a%1]").arg(n(k)));
    }
    return g;
}

QStringList args(const QString& source, double speed, bool keepPitch, std::optional<int> sampleRate,
                 const QString& ext, const QString& out)
{
    return args(source, speed, keepPitch, sampleRate ? QList<int>{*sampleRate} : QList<int>{}, ext, out, {});
}

QStringList args(const QString& source, double speed, bool keepPitch, const QList<int>& sampleRates,
                 const QString& ext, const QString& out, const ToolArgs::Extras& extras)
{
    QStringList a{QStringLiteral("-i"), source};
    a << ToolArgs::extraInputs(extras) << QStringLiteral("-filter_complex")
      << speedGraph(speed, keepPitch, sampleRates) << QStringLiteral("-map") << QStringLiteral("[v]");
    for (int k = 0; k < sampleRates.size(); ++k)
        a << QStringLiteral("-map")
          << (sampleRates.size() == 1 ? QStringLiteral("[a]") : QStringLiteral("[a%1]").arg(n(k)));
    return a + VideoOps::reencode(ext, ToolArgs::videoCrf) + ToolArgs::extraOutputs(extras, 1) +
           ToolArgs::keptTags() + QStringList{out};
}

QStringList checkTwice(const QString& samples, Job& job)
{
    return ToolOps::speed(QDir(samples).filePath(QStringLiteral("clip.mp4")), 2, true, QStringLiteral("2x"),
                          job, {});
}

QStringList checkQuarter(const QString& samples, Job& job)
{
    return ToolOps::speed(QDir(samples).filePath(QStringLiteral("clip.mp4")), 0.25, false,
                          QStringLiteral(".25x"), job, {});
}

} // namespace SpeedWork

namespace ToolOps {

QStringList speed(const QString& source, double speed, bool keepPitch, const QString& label, Job& job,
                  const Progress& progress)
{
    checkSpeed(speed);
    ToolRun::checkSource(source);
    const QString ext = ToolRun::ext(source);
    const Media::Probe probe = Media::probe(source);
    const QList<Media::Stream> streams = Media::streams(source);
    const ScratchFolder scratch;
    ToolArgs::Extras extras =
        KeptStreams::copied(source, streams, ext, {.subtitles = false}, scratch.path(), job);
    extras.place = Media::keptPlace(probe, ext);
    // Every sound track goes through its own tempo chain, at its own sample rate.
    QList<int> rates;
    for (const Media::Stream& a : Media::streamsOf(streams, Media::Stream::Kind::audio)) {
        rates << (a.sampleRate > 0 ? a.sampleRate : probe.sampleRate);
        extras.sound << ToolArgs::Extras::Tags{a.language, a.title};
    }
    if (rates.isEmpty() && probe.audioCodec) rates << probe.sampleRate;
    // The retimed picture is made anew, without the source's tags: its first frame is the
    // source's, and so is its timecode.
    extras.timecode = Timecode::of(streams).value_or(QString());
    const QList<KeptStreams::TextTrack> text = KeptStreams::readText(
        source, streams, ext, QStringLiteral("picture subtitles can’t be retimed"), scratch.path(), job);
    extras.tracks = KeptStreams::written(
                        text, [&](const KeptStreams::TextTrack& t) { return KeptStreams::scaled(t, speed); },
                        scratch.path(), QStringLiteral("speed"))
                        .tracks;
    // The chapters are retimed with the picture; a source whose chapters can't be read gets none
    // rather than the old times.
    extras.chapters = Chapters::written(Chapters::scaled(Chapters::read(source), speed), scratch.path());
    return ToolRun::write({source, {0, probe.duration}, speed}, QStringLiteral("Speed ") + label, job,
                          progress, [&](const QString& temporary) {
                              return SpeedWork::args(source, speed, keepPitch, rates, ext, temporary, extras);
                          });
}

QString atempo(double speed)
{
    checkSpeed(speed);
    // One atempo filter takes factors from 0.5 to 2; larger changes are chained.
    QStringList chain;
    while (speed > 2) {
        chain << QStringLiteral("atempo=2");
        speed /= 2;
    }
    while (speed < 0.5) {
        chain << QStringLiteral("atempo=0.5");
        speed *= 2;
    }
    chain << QStringLiteral("atempo=") + ToolArgs::fixed(speed, 4);
    return chain.join(QLatin1Char(','));
}

} // namespace ToolOps
