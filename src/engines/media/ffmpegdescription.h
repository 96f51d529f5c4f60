#pragma once

#include "engines/media/media.h"

#include <QMap>
#include <QString>
#include <optional>

// How ffmpeg describes its first input and its first output on standard error, at levels info
// and verbose, read line by line as it runs: the descriptions, the stream mapping and the closing
// statistics of each stream. Only lines at ffmpeg's own fixed indents count, each in its own
// section, so no tag of the file (printed further indented) can pose as one.
struct FfmpegDescription
{
    // The source as ffmpeg read it, once its description is complete: its length (the one it
    // states, less its start where it states its end: Media::playedLength) and the
    // codecs of its first picture stream that is not a cover and its first sound stream. The
    // other fields keep their defaults.
    std::optional<Media::Probe> input;
    int inputChapters = 0; // how many chapters that description lists
    // That description lists one picture stream and, beside it, only sound streams, none of
    // them a cover or tagged with a language: nothing a result without sound would have to name
    // as left out. False at any doubt (a stream line it can't read).
    bool inputPlain = false;
    QString outputFormat; // the name of the muxer the result is written with
    bool outputVideo = false;
    bool outputAudio = false;

    // One information line, its level tag already removed. Returns true when this line
    // completed the input's description.
    bool add(const QString& line);

    // Whether every output stream of the kinds asked for shows on its own that it is whole: a
    // copied stream wrote every packet its input stream read; an encoded one reached `seconds`
    // (frames over the output's frame rate, samples over its sample rate). False at any doubt:
    // a line missing or unreadable, a stream short, a kind asked for that was not written.
    bool streamsReach(double seconds, bool video, bool audio) const;

  private:
    enum class Section { none, input, output, mapping, inputStatistics, outputStatistics };
    // One stream of the output as the description, the mapping and the statistics tell it.
    struct OutputStream
    {
        QString kind;                         // "video", "audio", …
        std::optional<double> rate;           // frames or samples a second
        std::optional<int> from;              // the input stream it was mapped from
        std::optional<bool> copied;           // per the mapping
        std::optional<qint64> packets;        // muxed
        std::optional<qint64> framesEncoded;  // only for an encoded stream
        std::optional<qint64> samplesEncoded; // only for encoded sound
    };
    void addOutputStream(const QString& line);
    void addMapping(const QString& line);
    void addStatistics(const QString& line);

    Section m_section = Section::none;
    Media::Probe m_reading;
    int m_chapters = 0;
    int m_pictures = 0;         // picture streams of the input, covers among them
    bool m_otherStream = false; // one not plain: a cover, a language, another kind, unreadable
    QString m_inputFormat;      // ffmpeg's name of the input's demuxer ("matroska,webm")
    QMap<int, OutputStream> m_outputs;
    QMap<int, qint64> m_packetsRead; // per stream of the first input
    bool m_doubt = false;            // a stream told twice, or told otherwise than expected
};
