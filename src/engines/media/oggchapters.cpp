#include "engines/media/oggchapters.h"

#include "core/converterror.h"
#include "core/job.h"
#include "core/shell.h"
#include "engines/media/media.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cmath>

namespace {

constexpr int mostChapters = 1000;

// "01:02:03.500" from milliseconds.
QString clock(qint64 ms)
{
    return QString::asprintf("%02lld:%02lld:%02lld.%03lld", ms / 3600000, ms / 60000 % 60, ms / 1000 % 60,
                             ms % 1000);
}

} // namespace

namespace OggChapters {

QStringList comments(const QList<Chapters::Chapter>& chapters, double start)
{
    QStringList out;
    int n = 0;
    for (const Chapters::Chapter& c : chapters) {
        if (c.end <= start || n == mostChapters) continue;
        const QString key = QStringLiteral("CHAPTER%1").arg(n++, 3, 10, QLatin1Char('0'));
        out << key + QLatin1Char('=') + clock(std::llround(std::max(0.0, c.start - start) * 1000));
        for (const auto& [tag, value] : c.tags)
            if (tag.compare(QLatin1String("title"), Qt::CaseInsensitive) == 0 && !value.isEmpty())
                out << key + QStringLiteral("NAME=") + value;
    }
    return out;
}

QStringList of(const QString& source, Job& job)
{
    const auto ffprobe = Shell::find(QStringLiteral("ffprobe"));
    if (!ffprobe) return {};
    QByteArray json;
    try {
        json = Shell::run(*ffprobe,
                          QStringList{QStringLiteral("-v"), QStringLiteral("error"),
                                      QStringLiteral("-print_format"), QStringLiteral("json"),
                                      QStringLiteral("-show_chapters"), QStringLiteral("-show_entries"),
                                      QStringLiteral("format=start_time")} +
                              Media::inputGuard() + QStringList{source})
                   .stdoutBytes;
    } catch (const ConvertError&) {
        return {};
    }
    const QList<Chapters::Chapter> chapters = Chapters::parse(json);
    if (chapters.isEmpty()) return {};
    return of(chapters,
              QJsonDocument::fromJson(json)
                  .object()
                  .value(QLatin1String("format"))
                  .toObject()
                  .value(QLatin1String("start_time"))
                  .toString()
                  .toDouble(),
              job);
}

QStringList of(const QList<Chapters::Chapter>& chapters, double start, Job& job)
{
    // ffmpeg starts the result at the source's first stream, and its chapters with it.
    const double from = std::isfinite(start) ? std::max(0.0, start) : 0;
    const auto held = std::count_if(chapters.begin(), chapters.end(),
                                    [&](const Chapters::Chapter& c) { return c.end > from; });
    if (held > mostChapters)
        job.addNote(QStringLiteral("%1 chapters past the thousandth were left out: Opus files number them "
                                   "with three digits")
                        .arg(held - mostChapters));
    return comments(chapters, from);
}

} // namespace OggChapters
