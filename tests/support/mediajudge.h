#pragma once

// The media judge: the complaints about how a result of a conversion or a tool falls short of
// what its sources call for (mediasource.h), each in plain words: its picture and sound, here;
// its other streams, chapters, timecode and tags, in mediaholds.h.

#include "mediaholds.h"

namespace Judge {

// The complaint about the shape the result's picture is shown in, against the source's as shown
// (turned by its display matrix) and the share of it the result keeps; empty when it matches.
inline QString judgeShape(const Reading& result, const Expected& e)
{
    const auto [sw, sh] = e.pieces.first().source->reading.shownSize();
    const auto [rw, rh] = result.shownSize();
    if (sw <= 0 || sh <= 0 || rw <= 0 || rh <= 0) return {};
    const double want = sw * e.width / (sh * e.height), got = rw / rh;
    if (std::abs(std::log(got / want)) <= 0.05) return {};
    const QString shape = QStringLiteral("%1 × %2").arg(rw).arg(rh);
    if (std::abs(std::log(got * want)) <= 0.05)
        return QStringLiteral("its picture is shown turned a quarter from the source's: %1, turned %2°")
            .arg(shape)
            .arg(result.turn());
    return QStringLiteral("its picture is shown %1 instead of %2 × %3")
        .arg(shape)
        .arg(qRound(sw * e.width))
        .arg(qRound(sh * e.height));
}

// The complaints about the picture; sets `base`, the source time of the first picture, and
// `zero`, when the result shows it.
inline QStringList judgePicture(const Reading& result, const Expected& e, double& base, double& zero)
{
    const Piece& first = e.pieces.first();
    const Source& src = *first.source;
    const std::optional<Frame> asked = src.shownAt(first.from);
    base = asked ? asked->at : first.from;
    zero = 0;
    if (result.frames.isEmpty()) return {"it has no picture"};
    if (e.drawing) return {};
    // Shown as the source is: a copy keeps its turn, a re-encode turns the pixels.
    if (const QString turned = judgeShape(result, e); !turned.isEmpty()) return {turned};
    for (const Frame& f : result.frames)
        if (f.code < 0) return {QStringLiteral("its picture at %1 can't be read: damaged").arg(s(f.at))};
    if (e.still) {
        if (result.frames.size() == 1 && asked && result.frames[0].code == asked->code) return {};
        return {QStringLiteral("the snapshot at %1 shows the source's %2 instead of %3")
                    .arg(s(first.from), s(result.frames[0].code / 100.0), s(base))};
    }
    QStringList c;
    const Frame& opening = result.frames.first();
    const std::optional<Frame> shown = src.frameOf(opening.code);
    if (!shown) return {QStringLiteral("its first picture shows a moment the source does not have")};
    // A fast cut starts at the last key frame at or before the picture shown at the start.
    double earliest = base;
    if (first.fast)
        for (double k : src.keys)
            if (k <= base + 0.0005) earliest = std::min(base, k);
    if (shown->at < earliest - 0.001 || shown->at > base + shown->lasts + 0.001)
        c << QStringLiteral("it begins with the source's %1 instead of %2%3")
                 .arg(s(shown->at), s(base),
                      first.fast ? QStringLiteral(" (or its key frame at %1)").arg(s(earliest)) : QString());
    // As long after the result's start as the source's picture begins after the start asked for,
    // give or take a frame (or the 0.05 s by which a container moves everything to make room for
    // a sound encoder's delay) and the pictures that B-frames hold back.
    const double typical = result.typicalFrame();
    const double frame = std::max(typical, src.frame / first.speed) + 0.005;
    const double held = result.streams("video").value(0)["has_b_frames"].toInt() * typical;
    // A copy may open with pictures that decode after its key frame but show before it, whose
    // other reference was cut away: no decoder shows them.
    const double unshown =
        first.fast ? double(std::max<qsizetype>(0, result.picturePackets() - result.frames.size())) * typical
                   : 0;
    const double late =
        opening.at - std::max(0.0, (src.frames.value(0).at - first.from) / first.speed) - held - unshown;
    if (late > std::max(frame, 0.055)) c << QStringLiteral("its picture starts %1 late").arg(s(late));
    base = shown->at;
    zero = opening.at;
    const Timeline timeline(e, base);
    for (qsizetype n = 0; n < result.frames.size(); ++n) {
        const Frame& f = result.frames[n];
        const double r = f.at - zero;
        const auto [i, want] = timeline.at(e, r);
        if (i > 0 && r - timeline.starts[i] < frame) continue; // where two pieces meet
        const Piece& p = e.pieces[i];
        const std::optional<Frame> at = p.source->frameOf(f.code);
        // The picture shown is one the source shows during this one's time, and it stays no
        // longer than the source shows it, by a picture of the result.
        if (!at || at->at > want + f.lasts * p.speed + 0.002 || at->at + at->lasts < want - 0.002) {
            c << QStringLiteral("at %1 its picture shows %2's %3 instead of %4")
                     .arg(s(r), p.source->name, s(f.code / 100.0), s(want));
            break;
        }
        if (n + 1 < result.frames.size() && f.lasts * p.speed > at->lasts + typical * p.speed + 0.005) {
            c << QStringLiteral("at %1 its picture stops for %2: pictures of %3 are missing")
                     .arg(s(r), s(f.lasts), p.source->name);
            break;
        }
    }
    // A stream copy may end with the pictures that B-frames hold back.
    const double length = result.pictureEnd() - zero;
    const double over = first.fast ? held : 0;
    if (length - timeline.length() > frame + over || timeline.length() - length > frame)
        c << QStringLiteral("its picture lasts %1 instead of %2").arg(s(length), s(timeline.length()));
    return c;
}

// The complaints about sound track `k` of the result, which plays track `from` of each source.
inline QStringList judgeTrack(const Reading& result, int k, int from, const Expected& e, double base,
                              double zero)
{
    const QString name = QStringLiteral("its sound track %1").arg(k + 1);
    const QVector<float>& track = result.sound.value(k);
    const std::optional<std::pair<double, double>> heard = Judge::heard(track);
    const Timeline timeline(e, base);
    // Where each piece's sound is heard in the result, from its start. A whole source keeps
    // the sound its tracks hold before its first picture and after its last.
    QList<std::pair<double, double>> spans;
    const bool whole = e.pieces.size() == 1 && e.pieces[0].from <= 0 && e.pieces[0].to < 0;
    for (qsizetype i = 0; i < e.pieces.size(); ++i) {
        const Piece& p = e.pieces[i];
        const double origin = timeline.origins[i];
        const auto in = p.source->heard.value(from);
        if (!in) continue;
        const double a = whole ? in->first : std::max(in->first, origin);
        const double b = whole ? in->second : std::min(in->second, p.end());
        if (b > a)
            spans << std::pair{zero + timeline.starts[i] + (a - origin) / p.speed,
                               zero + timeline.starts[i] + (b - origin) / p.speed};
    }
    if (spans.isEmpty()) return {};
    if (!heard) return {name + " is silent"};
    // Encoders and their containers move a sound by a few hundredths of a second.
    constexpr double slack = 0.1;
    QStringList c;
    if (std::abs(heard->first - spans.first().first) > slack)
        c << QStringLiteral("%1 starts at %2 instead of %3")
                 .arg(name, s(heard->first), s(spans.first().first));
    if (std::abs(heard->second - spans.last().second) > slack)
        c << QStringLiteral("%1 ends at %2 instead of %3")
                 .arg(name, s(heard->second), s(spans.last().second));
    for (const auto& [a, b] : spans) {
        QList<double> points{a + 0.15, (a + b) / 2, b - 0.15};
        for (double r = a + 0.4; r < b - 0.25; r += 0.25)
            points << r;
        std::sort(points.begin(), points.end());
        for (double r : points) {
            const auto [i, want] = timeline.at(e, r - zero);
            if (r > b || std::any_of(e.quiet.begin(), e.quiet.end(), [&](const auto& q) {
                    return want > q.first - 0.08 && want < q.second + 0.08;
                }))
                continue;
            const Piece& p = e.pieces[i];
            const double f = frequency(track, r);
            const std::optional<double> plays = f > 0 ? p.source->timeOfTone(from, f) : std::nullopt;
            if (!plays) {
                c << QStringLiteral("%1 at %2 plays nothing of %3").arg(name, s(r), p.source->name);
                return c;
            }
            if (std::abs(*plays - want) / p.speed > slack) {
                c << QStringLiteral("%1 at %2 plays %3's %4 instead of its %5")
                         .arg(name, s(r), p.source->name, s(*plays), s(want));
                return c;
            }
        }
    }
    return c;
}

// Every complaint about the result: its picture, its sound, its streams, chapters, timecode and
// tags (judgeStreams, in mediaholds.h).
inline QStringList verdict(const Reading& result, const Expected& e, const QStringList& notes)
{
    if (result.probe.isEmpty()) return {"ffprobe can't read it"};
    QStringList c;
    if (!result.errors.isEmpty()) c << "it does not decode whole: " + result.errors.mid(0, 2).join(" / ");
    const Source& src = *e.pieces.first().source;
    double base = e.pieces.first().from, zero = 0;
    if (e.picture) c << judgePicture(result, e, base, zero);
    if (e.still) return c;
    const QList<QJsonObject> tracks = result.streams("audio");
    if (!e.sound && !tracks.isEmpty()) c << "it still has sound";
    if (e.sound)
        for (int k = 0; k < tracks.size(); ++k) {
            const bool single = !holds(e.ext).manySounds;
            c << judgeTrack(result, k, single ? src.defaultTrack() : k, e, base, zero);
        }
    c << judgeStreams(result, e, notes, base, zero);
    return c;
}

} // namespace Judge
