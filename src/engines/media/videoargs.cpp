#include "engines/media/toolargs.h"

#include "engines/media/videoops.h"

// The argument pieces that several video tools share.

namespace ToolArgs {

QStringList pictureAndSound()
{
    return {QStringLiteral("-map"), QStringLiteral("0:v:0"), QStringLiteral("-map"), QStringLiteral("0:a?")};
}

QStringList keptTags()
{
    return {QStringLiteral("-map_metadata"), QStringLiteral("0")};
}

QStringList faststart(const QString& ext)
{
    const bool movie = ext == QLatin1String("mp4") || ext == QLatin1String("mov");
    return movie ? QStringList{QStringLiteral("-movflags"), QStringLiteral("+faststart")} : QStringList{};
}

BoxExpr boxExpr(const QRectF& r)
{
    return {QStringLiteral("trunc(iw*%1/2)*2").arg(fixed(r.width(), 5)),
            QStringLiteral("trunc(ih*%1/2)*2").arg(fixed(r.height(), 5)),
            QStringLiteral("trunc(iw*%1)").arg(fixed(r.x(), 5)),
            QStringLiteral("trunc(ih*%1)").arg(fixed(r.y(), 5))};
}

QStringList trimVideo(const QString& source, TimeRange range, bool fast, const QString& ext,
                      const QString& out, const Extras& extras)
{
    // A copy's length is read from its input: the chapters it is handed then aren't cut at the
    // length, which counts from the seek, while the copy holds the key frame before it too.
    const QStringList length{QStringLiteral("-t"), fixed(range.end - range.start, 3)};
    // A cut from the start reads from the start: ffmpeg 5.1 copying an AVI file with B-frames
    // from a seek to its start drops each picture up to its second key frame, and decoding Opus
    // from Matroska after a seek to its start drops its first 0.16 s.
    const QStringList seek =
        range.start <= 0 ? QStringList{} : QStringList{QStringLiteral("-ss"), fixed(range.start, 3)};
    QStringList args = seek;
    if (fast) args << length;
    const QStringList extra = extraInputs(extras);
    args << QStringLiteral("-i") << source << extra;
    if (!fast) args << length;
    if (fast && extras.pictureLength > 0) {
        const qsizetype picture = extra.count(QStringLiteral("-i")) + 1;
        args << seek << QStringLiteral("-t") << fixed(extras.pictureLength, 3) << QStringLiteral("-i")
             << source << QStringLiteral("-map") << QStringLiteral("%1:v:0").arg(picture)
             << QStringLiteral("-map") << QStringLiteral("0:a?");
    } else {
        args << pictureAndSound();
    }
    args << keptTags();
    if (fast)
        args << QStringLiteral("-c") << QStringLiteral("copy") << QStringLiteral("-avoid_negative_ts")
             << QStringLiteral("make_zero");
    else
        args << QStringLiteral("-filter:v:0") << VideoOps::evenSides() << VideoOps::reencode(ext, videoCrf);
    return args << extraOutputs(extras, 1) << out;
}

} // namespace ToolArgs
