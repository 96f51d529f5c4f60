#include "engines/media/subtitlecues.h"

#include <QRegularExpression>
#include <cmath>

namespace {

double seconds(const QRegularExpressionMatch& m, int first)
{
    return m.captured(first).toInt() * 3600.0 + m.captured(first + 1).toInt() * 60.0 +
           m.captured(first + 2).toInt() +
           m.captured(first + 3).leftJustified(3, QLatin1Char('0')).toInt() / 1000.0;
}

QString stamp(double t)
{
    const qint64 ms = std::llround(std::max(0.0, t) * 1000);
    return QStringLiteral("%1:%2:%3,%4")
        .arg(ms / 3600000, 2, 10, QLatin1Char('0'))
        .arg(ms / 60000 % 60, 2, 10, QLatin1Char('0'))
        .arg(ms / 1000 % 60, 2, 10, QLatin1Char('0'))
        .arg(ms % 1000, 3, 10, QLatin1Char('0'));
}

} // namespace

namespace SubtitleCues {

QList<Cue> parse(const QString& srt)
{
    static const QRegularExpression timing(QStringLiteral(
        R"(^\s*(\d+):(\d{1,2}):(\d{1,2})[,.](\d{1,3})\s*-->\s*(\d+):(\d{1,2}):(\d{1,2})[,.](\d{1,3}))"));
    QList<Cue> cues;
    QString text = srt;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    for (const QString& block :
         text.split(QRegularExpression(QStringLiteral("\n\\s*\n")), Qt::SkipEmptyParts)) {
        const QStringList lines = block.split(QLatin1Char('\n'));
        for (int i = 0; i < lines.size(); ++i) {
            const QRegularExpressionMatch m = timing.match(lines[i]);
            if (!m.hasMatch()) continue;
            cues << Cue{seconds(m, 1), seconds(m, 5), lines.mid(i + 1).join(QLatin1Char('\n')).trimmed()};
            break;
        }
    }
    return cues;
}

QString write(const QList<Cue>& cues)
{
    QString out;
    for (int i = 0; i < cues.size(); ++i)
        out += QStringLiteral("%1\n%2 --> %3\n%4\n\n")
                   .arg(i + 1)
                   .arg(stamp(cues[i].start), stamp(cues[i].end), cues[i].text);
    return out;
}

QList<Cue> cut(const QList<Cue>& cues, double from, double to, double shortest)
{
    QList<Cue> out;
    for (const Cue& c : cues) {
        const double start = std::max(c.start, from);
        const double end = std::min(c.end, to);
        // Less than a millisecond left is nothing a viewer sees, and the sliver of a cue that
        // ends where a part begins would only flash.
        const bool clipped = start > c.start || end < c.end;
        if (end - start < 0.001 || (clipped && end - start < shortest)) continue;
        out << Cue{start - from, end - from, c.text};
    }
    return out;
}

QList<Cue> scaled(const QList<Cue>& cues, double speed)
{
    QList<Cue> out;
    for (const Cue& c : cues)
        out << Cue{c.start / speed, c.end / speed, c.text};
    return out;
}

QList<Cue> shifted(const QList<Cue>& cues, double offset)
{
    QList<Cue> out;
    for (const Cue& c : cues)
        out << Cue{c.start + offset, c.end + offset, c.text};
    return out;
}

} // namespace SubtitleCues
