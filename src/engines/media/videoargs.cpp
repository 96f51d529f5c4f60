#include "engines/media/toolargs.h"

#include "engines/media/media.h"
#include "engines/media/toolops.h"
#include "engines/media/videoops.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int crf = 18;

bool isMovie(const QString& ext)
{
    return ext == QLatin1String("mp4") || ext == QLatin1String("mov");
}

QStringList faststart(const QString& ext)
{
    return isMovie(ext) ? QStringList{QStringLiteral("-movflags"), QStringLiteral("+faststart")}
                        : QStringList{};
}

// The first picture stream and every sound stream, if any.
const QStringList pictureAndSound{QStringLiteral("-map"), QStringLiteral("0:v:0"), QStringLiteral("-map"),
                                  QStringLiteral("0:a?")};

QString n(int value)
{
    return QString::number(value);
}

// Even pixel sizes and whole offsets of a unit rectangle, in ffmpeg's expression terms.
struct BoxExpr
{
    QString w, h, x, y;
};

BoxExpr boxExpr(const QRectF& r)
{
    using ToolArgs::fixed;
    return {QStringLiteral("trunc(iw*%1/2)*2").arg(fixed(r.width(), 5)),
            QStringLiteral("trunc(ih*%1/2)*2").arg(fixed(r.height(), 5)),
            QStringLiteral("trunc(iw*%1)").arg(fixed(r.x(), 5)),
            QStringLiteral("trunc(ih*%1)").arg(fixed(r.y(), 5))};
}

} // namespace

namespace ToolArgs {

QStringList trimVideo(const QString& source, TimeRange range, bool fast, const QString& ext,
                      const QString& out, const Extras& extras)
{
    QStringList args{QStringLiteral("-ss"), fixed(range.start, 3), QStringLiteral("-i"), source};
    args << extraInputs(extras) << QStringLiteral("-t") << fixed(range.end - range.start, 3);
    args << pictureAndSound << QStringLiteral("-map_metadata") << QStringLiteral("0");
    if (fast)
        args << QStringLiteral("-c") << QStringLiteral("copy") << QStringLiteral("-avoid_negative_ts")
             << QStringLiteral("make_zero");
    else
        args << VideoOps::reencode(ext, crf);
    return args << extraOutputs(extras, 1) << out;
}

QString cropFilter(const QRectF& rect)
{
    const BoxExpr b = boxExpr(rect);
    return QStringLiteral("crop=%1:%2:%3:%4").arg(b.w, b.h, b.x, b.y);
}

QStringList cropVideo(const QString& source, const QRectF& rect, const QString& ext, const QString& out,
                      const Extras& extras)
{
    return QStringList{QStringLiteral("-i"), source} + pictureAndSound +
           QStringList{QStringLiteral("-vf"), cropFilter(rect)} + Media::videoArgs(ext, crf) +
           QStringList{QStringLiteral("-c:a"), QStringLiteral("copy"), QStringLiteral("-map_metadata"),
                       QStringLiteral("0")} +
           faststart(ext) + extraOutputs(extras, 1) + QStringList{out};
}

QString speedGraph(double speed, bool keepPitch, std::optional<int> sampleRate)
{
    return speedGraph(speed, keepPitch, sampleRate ? QList<int>{*sampleRate} : QList<int>{});
}

QString speedGraph(double speed, bool keepPitch, const QList<int>& sampleRates)
{
    QString g = QStringLiteral("[0:v]setpts=PTS/%1[v]").arg(fixed(speed, 4));
    const bool one = sampleRates.size() == 1;
    for (int k = 0; k < sampleRates.size(); ++k) {
        const QString chain =
            keepPitch ? ToolOps::atempo(speed)
                      : QStringLiteral("asetrate=%1*%2,aresample=%1").arg(n(sampleRates[k]), fixed(speed, 4));
        g += (one ? QStringLiteral(";[0:a]") : QStringLiteral(";[0:a:%1]").arg(n(k))) + chain +
             (one ? QStringLiteral("[a]") : QStringLiteral("[a%1]").arg(n(k)));
    }
    return g;
}

QStringList speed(const QString& source, double speed, bool keepPitch, std::optional<int> sampleRate,
                  const QString& ext, const QString& out)
{
    return ToolArgs::speed(source, speed, keepPitch, sampleRate ? QList<int>{*sampleRate} : QList<int>{}, ext,
                           out, {});
}

QStringList speed(const QString& source, double speed, bool keepPitch, const QList<int>& sampleRates,
                  const QString& ext, const QString& out, const Extras& extras)
{
    QStringList args{QStringLiteral("-i"), source};
    args << extraInputs(extras) << QStringLiteral("-filter_complex")
         << speedGraph(speed, keepPitch, sampleRates) << QStringLiteral("-map") << QStringLiteral("[v]");
    for (int k = 0; k < sampleRates.size(); ++k)
        args << QStringLiteral("-map")
             << (sampleRates.size() == 1 ? QStringLiteral("[a]") : QStringLiteral("[a%1]").arg(n(k)));
    return args + VideoOps::reencode(ext, crf) + extraOutputs(extras, 1) + QStringList{out};
}

QStringList snapshot(const QString& source, double time, const QString& out)
{
    return {QStringLiteral("-ss"),
            fixed(time, 3),
            QStringLiteral("-i"),
            source,
            QStringLiteral("-frames:v"),
            QStringLiteral("1"),
            QStringLiteral("-update"),
            QStringLiteral("1"),
            out};
}

QStringList join(const QList<JoinClip>& clips, const QString& out, int soundTracks, const Extras& extras)
{
    const JoinClip& first = clips.first();
    const int w = std::max(2, first.width / 2 * 2);
    const int h = std::max(2, first.height / 2 * 2);
    const int r = std::clamp(int(std::lround(first.fps)), 1, 60);
    QStringList inputs;
    for (const JoinClip& c : clips)
        inputs << QStringLiteral("-i") << c.path;
    QString g, pairs;
    int next = int(clips.size());
    for (int i = 0; i < clips.size(); ++i) {
        g += QStringLiteral(
                 "[%1:v:0]scale=%2:%3:force_original_aspect_ratio=decrease,pad=%2:%3:(ow-iw)/2:(oh-ih)/2,"
                 "setsar=1,fps=%4,format=yuv420p[v%1];")
                 .arg(n(i), n(w), n(h), n(r));
        if (soundTracks > 1) {
            pairs += QStringLiteral("[v%1]").arg(n(i));
            for (int k = 0; k < soundTracks; ++k) {
                g += QStringLiteral("[%1:a:%2]aresample=48000,aformat=channel_layouts=stereo[a%1_%2];")
                         .arg(n(i), n(k));
                pairs += QStringLiteral("[a%1_%2]").arg(n(i), n(k));
            }
        } else if (clips[i].audio) {
            g += QStringLiteral("[%1:a:0]aresample=48000,aformat=channel_layouts=stereo[a%1];").arg(n(i));
            pairs += QStringLiteral("[v%1][a%1]").arg(n(i));
        } else {
            // A silent track as long as the clip keeps the concatenation's sound in step.
            // "-f" right before "-i": the generated input is the one the guard leaves alone.
            inputs << QStringLiteral("-t") << fixed(clips[i].duration, 3) << QStringLiteral("-f")
                   << QStringLiteral("lavfi") << QStringLiteral("-i")
                   << QStringLiteral("anullsrc=r=48000:cl=stereo");
            pairs += QStringLiteral("[v%1][%2:a]").arg(n(i), n(next++));
        }
    }
    QStringList maps{QStringLiteral("-map"), QStringLiteral("[v]")};
    QString outs = QStringLiteral("[v]");
    for (int k = 0; k < std::max(1, soundTracks); ++k) {
        const QString label = soundTracks > 1 ? QStringLiteral("[a%1]").arg(n(k)) : QStringLiteral("[a]");
        outs += label;
        maps << QStringLiteral("-map") << label;
    }
    g += pairs +
         QStringLiteral("concat=n=%1:v=1:a=%2").arg(n(int(clips.size())), n(std::max(1, soundTracks))) + outs;
    const int firstTrack = next;
    return inputs + extraInputs(extras) + QStringList{QStringLiteral("-filter_complex"), g} + maps +
           QStringList{QStringLiteral("-c:v"),   QStringLiteral("libx264"),   QStringLiteral("-preset"),
                       QStringLiteral("medium"), QStringLiteral("-crf"),      QStringLiteral("20"),
                       QStringLiteral("-c:a"),   QStringLiteral("aac"),       QStringLiteral("-b:a"),
                       QStringLiteral("192k"),   QStringLiteral("-movflags"), QStringLiteral("+faststart")} +
           extraOutputs(extras, firstTrack) + QStringList{out};
}

QString redactGraph(const QList<QRectF>& boxes, RedactStyle style, const std::optional<TimeRange>& range)
{
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
        const BoxExpr b = boxExpr(boxes[i]);
        const QString s = QStringLiteral("s") + n(i);
        if (style == RedactStyle::blur || style == RedactStyle::pixelate) {
            const QString effect = style == RedactStyle::blur ? blur : QStringLiteral("pixelize=w=18:h=18");
            chains << QStringLiteral("[%1]split[b%2][c%2];[c%2]crop=%3:%4:%5:%6,%7[e%2];[b%2][e%2]overlay=")
                              .arg(label, n(i), b.w, b.h, b.x, b.y, effect) +
                          QStringLiteral("trunc(W*%1):trunc(H*%2)")
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
    return chains.join(QLatin1Char(';'));
}

QStringList redactVideo(const QString& source, const QList<QRectF>& boxes, RedactStyle style,
                        const std::optional<TimeRange>& range, const QString& ext, const QString& out,
                        const Extras& extras)
{
    // Like a redacted photo, the copy keeps none of the file's global metadata (names, places).
    return QStringList{QStringLiteral("-i"),
                       source,
                       QStringLiteral("-filter_complex"),
                       redactGraph(boxes, style, range),
                       QStringLiteral("-map"),
                       QStringLiteral("[s%1]").arg(n(int(boxes.size()) - 1)),
                       QStringLiteral("-map"),
                       QStringLiteral("0:a?"),
                       QStringLiteral("-map_metadata"),
                       QStringLiteral("-1")} +
           Media::videoArgs(ext, crf) + QStringList{QStringLiteral("-c:a"), QStringLiteral("copy")} +
           faststart(ext) + extraOutputs(extras, 1) + QStringList{out};
}

} // namespace ToolArgs
