#include "engines/media/media.h"

#include "engines/media/libav.h"

#include "core/converterror.h"
#include "core/shell.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>

namespace {

std::optional<double> number(const QString& text)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value)) return std::nullopt;
    return value;
}

// A decimal integer: an optional sign, then digits only.
std::optional<int> decimalInteger(const QString& text)
{
    const qsizetype start = text.startsWith(QLatin1Char('+')) || text.startsWith(QLatin1Char('-')) ? 1 : 0;
    if (text.size() <= start) return std::nullopt;
    for (qsizetype i = start; i < text.size(); ++i)
        if (text.at(i) < QLatin1Char('0') || text.at(i) > QLatin1Char('9')) return std::nullopt;
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}

std::optional<int> integer(const QJsonValue& value)
{
    if (!value.isDouble()) return std::nullopt;
    const double d = value.toDouble();
    if (d != std::trunc(d) || std::abs(d) > 2147483647.0) return std::nullopt;
    return int(d);
}

std::optional<QString> string(const QJsonValue& value)
{
    return value.isString() ? std::optional<QString>(value.toString()) : std::nullopt;
}

// "30000/1001" as a rate; anything but two positive numbers gives none.
std::optional<double> frameRate(const QString& text)
{
    QList<double> parts;
    for (const QString& part : text.split(QLatin1Char('/'), Qt::SkipEmptyParts))
        if (const auto n = number(part)) parts << *n;
    if (parts.size() != 2 || !(parts[0] > 0) || !(parts[1] > 0)) return std::nullopt;
    return parts[0] / parts[1];
}

} // namespace

namespace Media {

QString missingToolText()
{
    return QStringLiteral("This needs ffmpeg. Install it with: sudo apt install ffmpeg");
}

QString require(const QString& program)
{
    if (const auto path = Shell::find(program)) return *path;
    throw ConvertError::missingTool(missingToolText());
}

double playedLength(double stated, double start, const QString& format)
{
    const bool endTime =
        format.startsWith(QLatin1String("matroska")) || format.startsWith(QLatin1String("mov,"));
    return endTime && start > 0 ? std::max(0.0, stated - start) : stated;
}

void readLyrics(Probe& probe, const QList<std::pair<QString, QString>>& tags)
{
    static const QRegularExpression byLanguage(QStringLiteral("^lyrics-[a-z]{3}$"),
                                               QRegularExpression::CaseInsensitiveOption);
    probe.lyricsKey.clear();
    probe.lyrics.clear();
    for (const auto& [name, text] : tags) {
        if (name.compare(QLatin1String("lyrics"), Qt::CaseInsensitive) == 0) {
            probe.lyricsKey.clear();
            probe.lyrics.clear();
            return;
        }
        if (probe.lyricsKey.isEmpty() && byLanguage.match(name).hasMatch()) {
            probe.lyricsKey = name;
            probe.lyrics = text;
        }
    }
}

Probe parseProbe(const QByteArray& json)
{
    Probe p;
    const QJsonDocument doc = QJsonDocument::fromJson(json);
    if (!doc.isObject()) return p;
    const QJsonObject top = doc.object();

    const QJsonObject format = top.value(QLatin1String("format")).toObject();
    const QJsonObject tags = format.value(QLatin1String("tags")).toObject();
    if (!tags.contains(QLatin1String("location")))
        p.place = tags.value(QLatin1String("com.apple.quicktime.location.ISO6709")).toString();
    QList<std::pair<QString, QString>> named;
    for (auto t = tags.begin(); t != tags.end(); ++t)
        named.append({t.key(), t.value().toString()});
    readLyrics(p, named);
    if (const auto d = string(format.value(QLatin1String("duration"))))
        p.duration = playedLength(
            number(*d).value_or(0),
            number(string(format.value(QLatin1String("start_time"))).value_or(QString())).value_or(0),
            string(format.value(QLatin1String("format_name"))).value_or(QString()));

    for (const QJsonValue& item : top.value(QLatin1String("streams")).toArray()) {
        if (!item.isObject()) continue;
        const QJsonObject s = item.toObject();
        const auto type = string(s.value(QLatin1String("codec_type")));
        const auto codec = string(s.value(QLatin1String("codec_name")));
        const bool cover =
            s.value(QLatin1String("disposition")).toObject().value(QLatin1String("attached_pic")) ==
            QJsonValue(1);

        if (type == QLatin1String("video") && !p.videoCodec && !cover) {
            p.videoCodec = codec;
            p.width = integer(s.value(QLatin1String("width"))).value_or(0);
            p.height = integer(s.value(QLatin1String("height"))).value_or(0);
            for (const QJsonValue& side : s.value(QLatin1String("side_data_list")).toArray())
                if (const QJsonValue r = side.toObject().value(QLatin1String("rotation")); r.isDouble()) {
                    p.turn = int(std::lround(r.toDouble()));
                    if (std::abs(std::lround(r.toDouble() / 90)) % 2 == 1) std::swap(p.width, p.height);
                }
            if (const auto rate = string(s.value(QLatin1String("avg_frame_rate"))))
                p.fps = frameRate(*rate).value_or(30);
        } else if (type == QLatin1String("audio") && !p.audioCodec) {
            p.audioCodec = codec;
            p.channels = integer(s.value(QLatin1String("channels"))).value_or(2);
            const auto rate = string(s.value(QLatin1String("sample_rate")));
            p.sampleRate = rate ? decimalInteger(*rate).value_or(44100) : 44100;
        }
        if (p.duration == 0)
            if (const auto d = string(s.value(QLatin1String("duration"))))
                p.duration = number(*d).value_or(0);
    }
    return p;
}

Probe probe(const QString& path)
{
    if (const auto reading = LibAv::read(path)) return reading->probe;
    return probeWithFfprobe(path);
}

Probe probeWithFfprobe(const QString& path)
{
    const auto ffprobe = Shell::find(QStringLiteral("ffprobe"));
    if (!ffprobe) return {};
    try {
        const Shell::Result r = Shell::run(
            *ffprobe, QStringList{QStringLiteral("-v"), QStringLiteral("error"),
                                  QStringLiteral("-print_format"), QStringLiteral("json"),
                                  QStringLiteral("-show_format"), QStringLiteral("-show_streams")} +
                          inputGuard() + QStringList{path});
        return parseProbe(r.stdoutBytes);
    } catch (const ConvertError&) {
        return {};
    }
}

std::optional<double> progressFraction(const QString& line, double duration)
{
    if (!(duration > 0)) return std::nullopt;
    // Both keys carry microseconds, whatever the second one's name says.
    if (!line.startsWith(QLatin1String("out_time_us=")) && !line.startsWith(QLatin1String("out_time_ms=")))
        return std::nullopt;
    const QStringList parts = line.split(QLatin1Char('='), Qt::SkipEmptyParts);
    const double micros = number(parts.value(parts.size() - 1)).value_or(0);
    // ffmpeg reports negative times at the start of some inputs, and N/A before the first frame.
    const double fraction = micros / 1e6 / duration;
    return std::isfinite(fraction) ? std::clamp(fraction, 0.0, 0.99) : 0.0;
}

} // namespace Media
