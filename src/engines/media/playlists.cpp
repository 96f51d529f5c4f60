#include "engines/media/media.h"

#include "core/converterror.h"
#include "engines/media/libav.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>

namespace {

// The first bytes of a text list, without a byte order mark and leading blank space.
QByteArray textStart(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    QByteArray head = file.read(4096);
    if (head.startsWith("\xEF\xBB\xBF")) head.remove(0, 3);
    return head.trimmed();
}

bool looksLikeList(const QByteArray& head)
{
    const QByteArray lower = head.toLower();
    if (lower.startsWith("#extm3u") || lower.startsWith("ffconcat version")) return true;
    if (lower.startsWith("<") && lower.contains("<mpd")) return true;
    // A concat list without its header: its first line that is no comment names a file.
    for (const QByteArray& line : lower.split('\n')) {
        const QByteArray l = line.trimmed();
        if (l.isEmpty() || l.startsWith('#')) continue;
        return l.startsWith("file ") || l.startsWith("file\t");
    }
    return false;
}

} // namespace

namespace Media {

bool opensOtherFiles(const QString& name)
{
    static const QSet<QString> listing{"hls",  "applehttp",   "concat",   "dash",    "imf", "sdp",
                                       "rtsp", "rtp",         "avisynth", "lavfi",   "tee", "image2",
                                       "mpd",  "vapoursynth", "bluray",   "dvdvideo"};
    for (const QString& part : name.split(QLatin1Char(',')))
        if (listing.contains(part.trimmed())) return true;
    return false;
}

void refuseLists(const QString& path)
{
    const auto demuxer = LibAv::demuxerName(path);
    if (looksLikeList(textStart(path)) || (demuxer && opensOtherFiles(*demuxer)))
        throw ConvertError::failed(
            QStringLiteral("%1 is a playlist, not a media file").arg(QFileInfo(path).fileName()));
}

QStringList inputGuard()
{
    QStringList guard{QStringLiteral("-protocol_whitelist"), QStringLiteral("file")};
    if (const QStringList formats = LibAv::safeDemuxers(); !formats.isEmpty())
        guard << QStringLiteral("-format_whitelist") << formats.join(QLatin1Char(','));
    return guard;
}

QStringList guardedInputs(const QStringList& args)
{
    QStringList out;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const bool input = args[i] == QLatin1String("-i") && i + 1 < args.size();
        if (input && !(i >= 2 && args[i - 2] == QLatin1String("-f"))) {
            refuseLists(args[i + 1]);
            out << inputGuard();
        }
        out << args[i];
    }
    return out;
}

} // namespace Media
