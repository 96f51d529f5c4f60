#include "engines/media/ffmpegrun.h"

#include "core/converterror.h"
#include "engines/media/id3frames.h"

#include <QRegularExpression>
#include <cmath>
#include <tuple>
#include <utility>

namespace {

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

std::optional<double> number(const QString& text)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::optional<qint64> decimalInteger64(const QString& text)
{
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    return ok && value >= 0 ? std::optional<qint64>(value) : std::nullopt;
}

// Information and warnings too, each tagged with its level: the information describes what
// ffmpeg read and wrote, and at level verbose ends with what it did with each stream; only
// errors are shown to the user.
const QStringList& prefix()
{
    static const QStringList p{
        QStringLiteral("-hide_banner"), QStringLiteral("-nostdin"),      QStringLiteral("-y"),
        QStringLiteral("-loglevel"),    QStringLiteral("level+verbose"), QStringLiteral("-progress"),
        QStringLiteral("pipe:1"),       QStringLiteral("-nostats")};
    return p;
}

} // namespace

FfmpegRun::FfmpegRun(const QStringList& args, std::function<double()> duration, Job* job, Progress progress,
                     std::function<void(const QString&)> onInfo, std::function<void()> onWritten)
    : m_duration(std::move(duration)), m_progress(std::move(progress)), m_onInfo(std::move(onInfo)),
      m_onWritten(std::move(onWritten))
{
    const QString program = Media::require(QStringLiteral("ffmpeg"));
    // ffmpeg's output comes last. MP3 and AIFF results hold their tags in ID3.
    const QString output = args.isEmpty() ? QString() : args.last();
    for (const char* suffix : {".mp3", ".aif", ".aiff", ".aifc"})
        if (output.endsWith(QLatin1String(suffix), Qt::CaseInsensitive)) m_id3Output = output;
    Shell::Options options;
    options.job = job;
    options.onLine = [this](const QString& l) { line(l); };
    if (m_onInfo) options.onErrorLine = [this](const QString& l) { errorLine(l); };
    m_started.emplace(Shell::start(program, prefix() + Media::guardedInputs(args), std::move(options)));
}

Media::FfmpegReport FfmpegRun::finish()
{
    const Shell::Result result = m_started->wait();
    std::tie(m_report.errors, m_report.log) = Media::splitLog(result.stderrText);
    if (result.status != 0) throw Media::ffmpegFailure(m_report.errors, result.status);
    if (const auto unfinished = Media::unfinishedWrite(m_report)) throw *unfinished;
    if (!m_id3Output.isEmpty()) Id3Frames::mendFile(m_id3Output);
    return m_report;
}

void FfmpegRun::line(const QString& line)
{
    // ffmpeg's last report follows its trailer.
    if (line == QLatin1String("progress=end") && !m_report.ended) {
        m_report.ended = true;
        if (m_onWritten) m_onWritten();
    }
    if (line.startsWith(QLatin1String("out_time_us=")))
        if (const auto micros = number(line.mid(12))) m_report.outSeconds = *micros / 1e6;
    if (line.startsWith(QLatin1String("total_size=")))
        if (const auto bytes = decimalInteger64(line.mid(11))) m_report.outBytes = *bytes;
    const double seconds = m_duration ? m_duration() : 0;
    if (m_progress)
        if (const auto fraction = Media::progressFraction(line, seconds)) m_progress(*fraction);
}

// An untagged line continues the one before: a tag's name or value across a line break, which
// could otherwise pose as a line of ffmpeg's own at the left margin.
void FfmpegRun::errorLine(const QString& line)
{
    const auto t = tagged(line);
    if (t) m_informing = t->first == Level::info;
    if (m_informing && t) m_onInfo(t->second);
}

namespace Media {

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
    return FfmpegRun(args, duration, job, progress, onInfo).finish();
}

FfmpegReport ffmpeg(const QStringList& args, double duration, Job* job, const Progress& progress)
{
    return ffmpeg(
        args, [duration] { return duration; }, job, progress);
}

} // namespace Media
