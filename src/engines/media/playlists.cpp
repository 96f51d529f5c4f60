#include "engines/media/media.h"

#include "core/converterror.h"

#include <QFile>
#include <QFileInfo>

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
    for (const char* sign : {"#extm3u", "ffconcat version", "v=0"})
        if (lower.startsWith(sign)) return true;
    if (lower.startsWith("<") && (lower.contains("<mpd") || lower.contains("<compositionplaylist")))
        return true;
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

const QStringList& mediaDemuxers()
{
    static const QStringList names{
        // Containers.
        "mov", "matroska", "avi", "asf", "flv", "mpegts", "mpeg", "nut", "ogg", "rm", "dv", "mxf", "gxf",
        "wtv", "nuv", "ivf", "gif", "apng", "mjpeg", "yuv4mpegpipe",
        // Video streams.
        "mpegvideo", "m4v", "h261", "h263", "h264", "hevc", "vc1", "dirac", "obu",
        // Sound files and streams.
        "mp3", "wav", "w64", "flac", "aiff", "aac", "ac3", "eac3", "dts", "dtshd", "truehd", "mlp", "amr",
        "amrnb", "amrwb", "ape", "wv", "tta", "tak", "mpc", "mpc8", "au", "caf", "voc", "xwma", "oma", "dsf",
        "iff", "qcp", "loas", "spdif", "shn", "sox"};
    return names;
}

void refuseLists(const QString& path)
{
    if (looksLikeList(textStart(path)))
        throw ConvertError::failed(
            QStringLiteral("%1 is a playlist, not a media file").arg(QFileInfo(path).fileName()));
}

QStringList inputGuard()
{
    return {QStringLiteral("-protocol_whitelist"), QStringLiteral("file"),
            QStringLiteral("-format_whitelist"), mediaDemuxers().join(QLatin1Char(','))};
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
