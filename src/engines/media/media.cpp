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
#include <tuple>

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

std::optional<qint64> decimalInteger64(const QString& text)
{
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    return ok && value >= 0 ? std::optional<qint64>(value) : std::nullopt;
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

enum class Level { error, warning, info };

// The level a line of ffmpeg's standard error is tagged with, and the line without its tag; none
// for an untagged line.
std::optional<std::pair<Level, QString>> tagged(const QString& line)
{
    static const QRegularExpression pattern(
        QStringLiteral(R"(^((?:\[[^\[\]]*\] )*?)\[(panic|fatal|error|warning|info|verbose|debug|trace)\] )"));
    const QRegularExpressionMatch m = pattern.match(line);
    if (!m.hasMatch()) return std::nullopt;
    const QString level = m.captured(2);
    const Level l = level == QLatin1String("info") || level == QLatin1String("verbose") ||
                            level == QLatin1String("debug") || level == QLatin1String("trace")
                        ? Level::info
                    : level == QLatin1String("warning") ? Level::warning
                                                        : Level::error;
    return std::pair{l, m.captured(1) + line.mid(m.capturedEnd(0))};
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

std::pair<QString, QString> splitLog(const QString& standardError)
{
    QStringList errors, info;
    Level level = Level::error;
    for (const QString& line : standardError.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const auto t = tagged(line);
        if (t) level = t->first;
        if (level == Level::error) errors << (t ? t->second : line);
        if (level == Level::info) info << (t ? t->second : line);
    }
    return {errors.join(QLatin1Char('\n')), info.join(QLatin1Char('\n'))};
}

FfmpegReport ffmpeg(const QStringList& args, const std::function<double()>& duration, Job* job,
                    const Progress& progress, const std::function<void(const QString&)>& onInfo)
{
    const QString program = require(QStringLiteral("ffmpeg"));
    // Information and warnings too, each tagged with its level: the information describes what
    // ffmpeg read and wrote, and at level verbose ends with what it did with each stream; only
    // errors are shown to the user.
    static const QStringList prefix{
        QStringLiteral("-hide_banner"), QStringLiteral("-nostdin"),      QStringLiteral("-y"),
        QStringLiteral("-loglevel"),    QStringLiteral("level+verbose"), QStringLiteral("-progress"),
        QStringLiteral("pipe:1"),       QStringLiteral("-nostats")};
    FfmpegReport report;
    Shell::Options options;
    options.job = job;
    options.onLine = [&](const QString& line) {
        if (line == QLatin1String("progress=end")) report.ended = true;
        if (line.startsWith(QLatin1String("out_time_us=")))
            if (const auto micros = number(line.mid(12))) report.outSeconds = *micros / 1e6;
        if (line.startsWith(QLatin1String("total_size=")))
            if (const auto bytes = decimalInteger64(line.mid(11))) report.outBytes = *bytes;
        const double seconds = duration ? duration() : 0;
        if (progress)
            if (const auto fraction = progressFraction(line, seconds)) progress(*fraction);
    };
    bool informing = false;
    if (onInfo) {
        options.onErrorLine = [&](const QString& line) {
            const auto t = tagged(line);
            if (t) informing = t->first == Level::info;
            // An untagged line continues the one before: a tag's name or value across a line
            // break, which could otherwise pose as a line of ffmpeg's own at the left margin.
            if (informing && t) onInfo(t->second);
        };
    }
    const Shell::Result result = Shell::run(program, prefix + guardedInputs(args), options);
    std::tie(report.errors, report.log) = splitLog(result.stderrText);
    if (result.status != 0) throw ffmpegFailure(report.errors, result.status);
    if (const auto unfinished = unfinishedWrite(report)) throw *unfinished;
    return report;
}

FfmpegReport ffmpeg(const QStringList& args, double duration, Job* job, const Progress& progress)
{
    return ffmpeg(
        args, [duration] { return duration; }, job, progress);
}

} // namespace Media
