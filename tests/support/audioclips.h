#pragma once

// Helpers of the audio tools' work tests: the lavfi clips they run on, read back with ffprobe
// and ffmpeg's meters, and the two locales their arguments are built under.

#include "decimallocales.h"
#include "enginefixtures_a.h"
#include "probedclip.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QRegularExpression>
#include <QTest>
#include <clocale>
#include <optional>

namespace AudioClips {

// Makes the clip `name` in `folder` and returns its path, empty when ffmpeg failed:
// "Song.MP3", "Tone.wav": a 440 Hz tone from 1 s to 3 s of 5 s, stereo, at −7.5 dB (MP3, WAV);
// "Talk.m4a": a mono 300 Hz tone of 4 s at 48 kHz;
// "Centre.flac": a 5.1 tone of 3 s whose only sound is in the centre;
// "Loud.wav": 2 s of 16-bit 5.1 whose every channel carries the same tone at −6 dB;
// "Picture.mp4": a second of picture without sound;
// "bg 100%d.png": a red 800 × 600 picture whose name ffmpeg would take for a numbered sequence;
// "Cover.ogg": the same sound in Ogg Vorbis, its cover in the comment taggers write it in.
// "Cover.mp3", "Cover.m4a", "Cover.flac": 6 s of sound with a 64 × 64 cover picture, as a
// tagger leaves it: PNG in MP3 and FLAC, JPEG in M4A; "Cover.aiff": the same with the artist
// "Tester", both in its ID3 chunk.
inline QString make(const QString& folder, const QString& name)
{
    const QString path = QDir(folder).filePath(name);
    const auto ffmpeg = [&](const QStringList& args, const QString& out) {
        return Fixture::ffmpeg(args + QStringList{out});
    };
    const QString wave = "0.42*if(between(t,1,3),sin(2*PI*440*t),0)";
    const QString tone = "aevalsrc='" + wave + "|" + wave + "':d=5:s=44100";
    bool made = false;
    if (name == "Song.MP3")
        made = ffmpeg({"-f", "lavfi", "-i", tone, "-c:a", "libmp3lame"}, path);
    else if (name == "Tone.wav")
        made = ffmpeg({"-f", "lavfi", "-i", tone}, path);
    else if (name == "Talk.m4a")
        made = ffmpeg({"-f", "lavfi", "-i", "sine=f=300:d=4:r=48000", "-ac", "1"}, path);
    else if (name == "Centre.flac")
        made = ffmpeg({"-f", "lavfi", "-i", "sine=f=500:d=3:r=48000", "-af",
                       "pan=5.1|FL=0*c0|FR=0*c0|FC=c0|LFE=0*c0|BL=0*c0|BR=0*c0"},
                      path);
    else if (name == "Loud.wav")
        made = ffmpeg({"-f", "lavfi", "-i", "sine=f=500:d=2:r=48000", "-af",
                       "volume=4.0,pan=5.1(side)|FL=c0|FR=c0|FC=c0|LFE=c0|SL=c0|SR=c0", "-c:a", "pcm_s16le"},
                      path);
    else if (name == "Picture.mp4")
        made = ffmpeg({"-f", "lavfi", "-i", "testsrc2=s=320x240:d=1", "-pix_fmt", "yuv420p"}, path);
    else if (name == "bg 100%d.png") {
        const QString plain = QDir(folder).filePath("bg.png");
        made = ffmpeg({"-f", "lavfi", "-i", "color=red:s=800x600", "-frames:v", "1"}, plain) &&
               QFile::rename(plain, path);
    } else if (name == "Cover.ogg") {
        // As taggers write it: the picture in a METADATA_BLOCK_PICTURE comment, a FLAC picture
        // block (front cover, type, description, size, depth, colours, bytes) in base64.
        const QString picture = QDir(folder).filePath("cover-ogg.jpg");
        QByteArray block;
        QDataStream out(&block, QIODevice::WriteOnly); // big-endian
        const QByteArray mime = "image/jpeg";
        const auto blockOf = [&](const QByteArray& jpeg) {
            out << quint32(3) << quint32(mime.size());
            out.writeRawData(mime.constData(), int(mime.size()));
            out << quint32(0) << quint32(64) << quint32(64) << quint32(24) << quint32(0)
                << quint32(jpeg.size());
            out.writeRawData(jpeg.constData(), int(jpeg.size()));
        };
        QFile jpeg(picture);
        made = ffmpeg({"-f", "lavfi", "-i", "testsrc2=s=64x64", "-frames:v", "1"}, picture) &&
               jpeg.open(QIODevice::ReadOnly);
        if (made) blockOf(jpeg.readAll());
        made = made && ffmpeg({"-f", "lavfi", "-i", "sine=d=6", "-c:a", "libvorbis", "-metadata",
                               "METADATA_BLOCK_PICTURE=" + QString::fromLatin1(block.toBase64())},
                              path);
    } else if (name.startsWith("Cover.")) {
        const bool m4a = name.endsWith(".m4a");
        const QString picture = QDir(folder).filePath(m4a ? "cover.jpg" : "cover.png");
        const bool aiff = name.endsWith(".aiff");
        const QString codec = m4a                     ? "aac"
                              : name.endsWith(".mp3") ? "libmp3lame"
                              : aiff                  ? "pcm_s16be"
                                                      : "flac";
        const QStringList id3 =
            aiff ? QStringList{"-write_id3v2", "1", "-metadata", "artist=Tester"} : QStringList();
        made = ffmpeg({"-f", "lavfi", "-i", "testsrc2=s=64x64", "-frames:v", "1"}, picture) &&
               ffmpeg(QStringList{"-f", "lavfi", "-i", "sine=d=6", "-i", picture, "-map", "0:a", "-map",
                                  "1:v", "-c:a", codec, "-c:v", "copy", "-disposition:v", "attached_pic"} +
                          id3,
                      path);
    }
    return made ? path : QString();
}

// The loudest peak and the integrated loudness ffmpeg measures, in dB and LUFS.
inline std::pair<double, double> levels(const QString& path, const QString& from = {}, const QString& to = {})
{
    QProcess p;
    QStringList args{"-hide_banner", "-nostats"};
    if (!from.isEmpty()) args << "-ss" << from << "-to" << to;
    p.start("ffmpeg", args + QStringList{"-i", path, "-af", "volumedetect,ebur128", "-f", "null", "-"});
    p.waitForFinished(60000);
    const QString err = p.readAllStandardError();
    const auto number = [&](const char* pattern) {
        const auto m = QRegularExpression(pattern).match(err, 0);
        return m.hasMatch() ? m.captured(1).toDouble() : qQNaN();
    };
    return {number(R"(max_volume:\s*(-?[\d.]+) dB)"), number(R"(Summary:[\s\S]*I:\s*(-?[\d.]+) LUFS)")};
}

// The peak of one channel of `path` between two times, in dB.
inline double channelPeak(const QString& path, int channel, const QString& from, const QString& to)
{
    QProcess p;
    p.start("ffmpeg", {"-hide_banner", "-nostats", "-ss", from, "-to", to, "-i", path, "-af",
                       QString("pan=mono|c0=c%1,volumedetect").arg(channel), "-f", "null", "-"});
    p.waitForFinished(60000);
    const auto m = QRegularExpression(R"(max_volume:\s*(-?[\d.]+) dB)").match(p.readAllStandardError());
    return m.hasMatch() ? m.captured(1).toDouble() : qQNaN();
}

// How many picture streams of `path` are marked as attached (cover) pictures.
inline int coverPictures(const QString& path)
{
    QProcess p;
    p.start("ffprobe", {"-v", "error", "-select_streams", "v", "-show_entries",
                        "stream_disposition=attached_pic", "-of", "csv=p=0", path});
    p.waitForFinished(60000);
    return int(QString(p.readAllStandardOutput()).split('\n').filter("1").size());
}

// Where the packets of the first sound stream of `path` end, in seconds from its first; 0 when
// it has none.
inline double soundSeconds(const QString& path)
{
    QProcess p;
    p.start("ffprobe", {"-v", "error", "-select_streams", "a:0", "-show_entries",
                        "packet=pts_time,duration_time", "-of", "csv=p=0", path});
    p.waitForFinished(60000);
    std::optional<double> first;
    double end = 0;
    for (const QString& line : QString(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts)) {
        const QStringList fields = line.split(',');
        const double at = fields.value(0).toDouble();
        if (!first) first = at;
        end = std::max(end, at + fields.value(1).toDouble() - *first);
    }
    return end;
}

inline QStringList hiddenIn(const QString& folder)
{
    return QDir(folder).entryList({".tolvane-*"}, QDir::AllEntries | QDir::Hidden);
}

} // namespace AudioClips
