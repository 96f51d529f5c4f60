#include "engines/subtitle/subtitleengine.h"

#include "core/converterror.h"
#include "core/output.h"
#include "core/textfile.h"
#include "engines/text/regex.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace {

// Beyond this many seconds a time no longer counts whole milliseconds exactly.
constexpr double maxSeconds = 9.0e12;

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

QString trimmed(const QString& text)
{
    qsizetype start = 0, end = text.size();
    while (start < end && isBlank(text.at(start)))
        ++start;
    while (end > start && isBlank(text.at(end - 1)))
        --end;
    return text.mid(start, end - start);
}

// A whole part of a time stamp as a number, read the same in every locale.
std::optional<double> number(const QString& part)
{
    const QByteArray bytes = part.toLatin1();
    if (bytes.isEmpty() || bytes.size() != part.size()) return std::nullopt;
    double value = 0;
    const char* end = bytes.constData() + bytes.size();
    const auto [stop, error] = std::from_chars(bytes.constData(), end, value);
    if (error != std::errc() || stop != end || !std::isfinite(value) || value < 0) return std::nullopt;
    return value;
}

std::optional<SubtitleEngine::Cue> cue(const QStringList& lines)
{
    qsizetype timeLine = 0;
    while (timeLine < lines.size() && !lines.at(timeLine).contains(QLatin1String("-->")))
        ++timeLine;
    if (timeLine == lines.size()) return std::nullopt;
    const QStringList parts = lines.at(timeLine).split(QStringLiteral("-->"));
    if (parts.size() != 2) return std::nullopt;
    const std::optional<double> start = SubtitleEngine::time(parts.at(0));
    // Cue settings may follow the end time after a space or a tab.
    const QString endText = trimmed(parts.at(1));
    qsizetype cut = 0;
    while (cut < endText.size() && !isBlank(endText.at(cut)))
        ++cut;
    const std::optional<double> end = SubtitleEngine::time(endText.left(cut));
    if (!start || !end) return std::nullopt;
    return SubtitleEngine::Cue{*start, *end, lines.mid(timeLine + 1).join(QLatin1Char('\n'))};
}

// Whether a line of only spaces before lines[next] lies inside the cue of `block`: the cue has
// its times and the lines up to the next blank one hold no times of their own.
bool continuesCue(const QStringList& block, const QStringList& lines, qsizetype next)
{
    const auto timed = [](const QString& line) { return line.contains(QLatin1String("-->")); };
    if (std::none_of(block.cbegin(), block.cend(), timed)) return false;
    for (; next < lines.size() && !trimmed(lines.at(next)).isEmpty(); ++next)
        if (timed(lines.at(next))) return false;
    return true;
}

QString plainText(const QList<SubtitleEngine::Cue>& cues)
{
    QStringList lines;
    for (const SubtitleEngine::Cue& cue : cues) {
        const QString text =
            Regex::replace(cue.text, QStringLiteral("<[^>]+>"), [](const QStringList&) { return QString(); });
        for (const QString& line : text.split(QLatin1Char('\n')))
            if (lines.isEmpty() || lines.last() != line) lines.append(line);
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

QString timed(const QList<SubtitleEngine::Cue>& cues, bool srt)
{
    QStringList blocks;
    blocks.reserve(cues.size());
    for (qsizetype i = 0; i < cues.size(); ++i) {
        const SubtitleEngine::Cue& cue = cues.at(i);
        QString block = srt ? QString::number(i + 1) + QLatin1Char('\n') : QString();
        block += SubtitleEngine::timestamp(cue.start, srt) + QLatin1String(" --> ") +
                 SubtitleEngine::timestamp(cue.end, srt) + QLatin1Char('\n') + cue.text;
        blocks.append(block);
    }
    return (srt ? QString() : QStringLiteral("WEBVTT\n\n")) + blocks.join(QLatin1String("\n\n")) +
           QLatin1Char('\n');
}

} // namespace

namespace SubtitleEngine {

std::optional<double> time(const QString& text)
{
    QString stamp = trimmed(text);
    stamp.replace(QLatin1Char(','), QLatin1Char('.'));
    const QStringList parts = stamp.split(QLatin1Char(':'));
    if (parts.size() != 2 && parts.size() != 3) return std::nullopt;
    double seconds = 0;
    for (const QString& part : parts) {
        const std::optional<double> value = number(part);
        if (!value) return std::nullopt;
        seconds = seconds * 60 + *value;
    }
    if (seconds > maxSeconds) return std::nullopt;
    return seconds;
}

QString timestamp(double seconds, bool srt)
{
    const long long ms =
        std::isfinite(seconds) && seconds > 0 ? std::llround(std::min(seconds, maxSeconds) * 1000) : 0;
    return QString::asprintf("%02lld:%02lld:%02lld%c%03lld", ms / 3600000, ms / 60000 % 60, ms / 1000 % 60,
                             srt ? ',' : '.', ms % 1000);
}

QList<Cue> parse(const QString& text)
{
    QString normalized = text;
    normalized.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    QList<Cue> cues;
    QStringList block;
    const auto flush = [&] {
        if (const std::optional<Cue> found = cue(block)) cues.append(*found);
        block.clear();
    };
    const QStringList lines = normalized.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (!trimmed(lines.at(i)).isEmpty())
            block.append(lines.at(i));
        else if (lines.at(i).isEmpty() || !continuesCue(block, lines, i + 1))
            flush();
    }
    flush();
    return cues;
}

QString render(const QList<Cue>& cues, const QString& target)
{
    if (target == QLatin1String("srt")) return timed(cues, true);
    if (target == QLatin1String("vtt")) return timed(cues, false);
    if (target == QLatin1String("txt")) return plainText(cues);
    throw ConvertError::unsupported(QStringLiteral("Can’t make %1 from subtitles").arg(target.toUpper()));
}

QStringList convert(const QString& source, const QString& target, Job& job, const Progress&)
{
    const QList<Cue> cues = parse(TextFile::read(source));
    if (cues.isEmpty()) throw ConvertError::failed(QStringLiteral("No subtitle cues found"));
    const QString text = render(cues, target);
    const QString destination = Output::result(source, {}, target);
    return {Output::write(
        destination, [&](const QString& temporary) { TextFile::write(temporary, text); }, &job)};
}

} // namespace SubtitleEngine
