#pragma once

// What the media judge knows of a source, and what a result made of sources should be.

#include "mediareading.h"

#include <QFileInfo>
#include <QMap>
#include <algorithm>

namespace Judge {

// A source as the judge knows it: its pictures in the order shown, its key frames and the tone of
// each sound track as a table of frequencies over its time.
struct Source
{
    QString name;
    Reading reading;
    QList<Frame> frames;
    QList<double> keys;
    double frame = 0.04;                           // the longest a picture lasts
    double end = 0;                                // where its picture (else its sound) ends
    QList<QList<std::pair<double, double>>> tones; // per sound track: (time, frequency)
    QList<std::optional<std::pair<double, double>>> heard;

    explicit Source(const QString& path) : name(QFileInfo(path).fileName()), reading(read(path))
    {
        for (const Frame& f : reading.frames)
            if (f.code >= 0) frames << f;
        keys = reading.keyFrames();
        frame = reading.longestFrame();
        for (const QVector<float>& track : reading.sound) {
            heard << Judge::heard(track);
            QList<std::pair<double, double>> table;
            if (heard.last())
                for (double t = heard.last()->first + 0.025; t < heard.last()->second - 0.025; t += 0.01)
                    if (const double f = frequency(track, t); f > 0) table << std::pair{t, f};
            tones << table;
        }
        end = !frames.isEmpty() ? reading.pictureEnd() : heard.value(0) ? heard[0]->second : 0;
    }

    // The picture on screen at `t`: the last one shown at or before it.
    std::optional<Frame> shownAt(double t) const
    {
        std::optional<Frame> shown;
        for (const Frame& f : frames)
            if (f.at <= t + 0.0005) shown = f;
        return shown ? shown : frames.isEmpty() ? std::nullopt : std::optional(frames.first());
    }
    // The picture carrying `code`; none when the source has no such picture.
    std::optional<Frame> frameOf(int code) const
    {
        for (const Frame& f : frames)
            if (f.code == code) return f;
        return std::nullopt;
    }
    // When sound track `track` plays the frequency `f`; none when it never does. The table's
    // ends, a window's half inside the sound, are drawn on by a tenth of a second.
    std::optional<double> timeOfTone(int track, double f) const
    {
        const auto& table = tones.value(track);
        for (qsizetype i = 0; i + 1 < table.size(); ++i) {
            const auto [t0, f0] = table[i];
            const auto [t1, f1] = table[i + 1];
            if ((f - f0) * (f - f1) <= 0 && f0 != f1) return t0 + (t1 - t0) * (f - f0) / (f1 - f0);
        }
        if (table.size() < 10) return std::nullopt;
        for (const auto& [a, b] :
             {std::pair{table[0], table[9]}, std::pair{table.last(), table[table.size() - 10]}}) {
            const double t = a.first + (f - a.second) * (b.first - a.first) / (b.second - a.second);
            if (std::abs(t - a.first) <= 0.1 && (t < a.first) == (a.first < b.first)) return t;
        }
        return std::nullopt;
    }
    // The track a result with room for one sound track takes: the default one, else the first.
    int defaultTrack() const
    {
        const QList<QJsonObject> tracks = reading.streams("audio");
        for (int k = 0; k < tracks.size(); ++k)
            if (tracks[k]["disposition"].toObject()["default"].toInt() == 1) return k;
        return 0;
    }
};

// A stretch of a source that a result plays, from `from` to `to` seconds (−1: its end) at
// `speed`; a fast cut may begin at the key frame at or before the picture shown at `from`.
struct Piece
{
    const Source* source = nullptr;
    double from = 0, to = -1;
    double speed = 1;
    bool fast = false;

    double end() const { return to < 0 ? source->end : std::min(to, source->end); }
};

// What a result should be.
struct Expected
{
    QList<Piece> pieces;          // in the order played
    QString ext;                  // the result's container
    bool picture = true;          // the sources' pictures; false for sound only
    bool drawing = false;         // a picture of the program's own (a visualizer), not read for its time
    bool still = false;           // one picture, a snapshot at `pieces[0].from`
    double width = 1, height = 1; // the shares of the source's picture, as shown, that the result shows
    bool sound = true;
    bool tagsKept = true;
    bool coversKept = true;                 // false: the operation leaves covers out on purpose, with a note
    QList<std::pair<double, double>> quiet; // stretches of the source whose sound was replaced
    QMap<QString, QString> tags;            // file tags set by the operation, by lower-case name
    // A sound tool's result: the source's kind of file with its sound stored as the source's is,
    // in `channels` channels (0: the source's).
    bool stored = false;
    int channels = 0;
};

inline QString s(double seconds)
{
    return QString::number(seconds, 'f', 2) + " s";
}

inline bool noted(const QStringList& notes, const QString& word)
{
    return std::any_of(notes.begin(), notes.end(),
                       [&](const QString& n) { return n.contains(word, Qt::CaseInsensitive); });
}

// Where each piece of a result begins, in seconds after its first picture, and the source time it
// begins with: the first piece with `base`, the source time of the result's first picture; the
// others with the picture shown at their start.
struct Timeline
{
    QList<double> origins, starts; // starts ends with the whole length

    Timeline(const Expected& e, double base)
    {
        starts << 0;
        for (qsizetype i = 0; i < e.pieces.size(); ++i) {
            const Piece& p = e.pieces[i];
            const std::optional<Frame> shown = p.source->shownAt(p.from);
            origins << (i == 0 ? base : shown ? shown->at : p.from);
            starts << starts.last() + (p.end() - origins.last()) / p.speed;
        }
    }
    double length() const { return starts.last(); }
    // The piece playing at `r` seconds after the first picture, and the source time it plays there.
    std::pair<int, double> at(const Expected& e, double r) const
    {
        int i = 0;
        while (i + 1 < e.pieces.size() && r >= starts[i + 1])
            ++i;
        return {i, origins[i] + (r - starts[i]) * e.pieces[i].speed};
    }
};

} // namespace Judge
