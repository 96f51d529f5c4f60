#include "engines/media/toolargs.h"

#include "engines/media/media.h"

#include <QLocale>
#include <algorithm>
#include <cmath>

namespace {

QString integer(int value)
{
    return QString::number(value);
}

const QStringList keepMetadata{QStringLiteral("-map_metadata"), QStringLiteral("0")};
const QStringList audioOnly{QStringLiteral("-map"), QStringLiteral("0:a")};

// The source's picture streams copied as attached pictures; the "?" lets a source without any
// through.
QStringList coverPictures(bool covers)
{
    if (!covers) return {};
    return {QStringLiteral("-map"), QStringLiteral("0:v?"),           QStringLiteral("-c:v"),
            QStringLiteral("copy"), QStringLiteral("-disposition:v"), QStringLiteral("attached_pic")};
}

// One colour per channel: showfreqs draws a channel without a colour of its own in white.
QString everyChannel(const QString& color, int channels)
{
    return QStringList(std::max(channels, 1), QStringLiteral("0x") + color).join(QLatin1Char('|'));
}

} // namespace

namespace ToolArgs {

QString fixed(double value, int decimals)
{
    // QString::number writes in the C locale whatever the process's locale is. A value that
    // rounds to zero is written without a minus sign.
    if (std::abs(value) < 0.5 * std::pow(10.0, -decimals)) value = 0;
    return QString::number(value, 'f', decimals);
}

QString gain(double value)
{
    QString text = QString::number(value, 'f', QLocale::FloatingPointShortest);
    if (!text.contains(QLatin1Char('.'))) text += QStringLiteral(".0");
    return text;
}

bool carriesCovers(const QString& ext)
{
    static const QStringList containers{QStringLiteral("mp3"), QStringLiteral("m4a"), QStringLiteral("flac")};
    return containers.contains(ext);
}

QStringList trimAudio(const QString& source, double from, double to, const QString& ext, bool covers,
                      const QString& out)
{
    // Cut by a filter rather than -ss/-to on the output, which would drop a cover picture: its
    // one frame lies at the start.
    const QString cut =
        QStringLiteral("atrim=start=%1:end=%2,asetpts=PTS-STARTPTS").arg(fixed(from, 3), fixed(to, 3));
    return QStringList{QStringLiteral("-i"), source} + audioOnly + coverPictures(covers) +
           QStringList{QStringLiteral("-af"), cut} + keepMetadata + Media::audioArgs(ext) + QStringList{out};
}

QStringList channels(const QString& source, const QString& filter, const QString& ext, bool covers,
                     const QString& out)
{
    return QStringList{QStringLiteral("-i"), source} + audioOnly + coverPictures(covers) +
           QStringList{QStringLiteral("-af"), filter} + keepMetadata + Media::audioArgs(ext) +
           QStringList{out};
}

QStringList bleep(const QString& source, const QList<BleepRange>& sorted, int channels, const QString& ext,
                  bool covers, const QString& out)
{
    return QStringList{QStringLiteral("-i"), source} + Bleeper::filter(sorted, channels) +
           coverPictures(covers) + keepMetadata + Media::audioArgs(ext) + QStringList{out};
}

QStringList peakMeasure(const QString& source)
{
    return {QStringLiteral("-hide_banner"),
            QStringLiteral("-nostats"),
            QStringLiteral("-i"),
            source,
            QStringLiteral("-map"),
            QStringLiteral("0:a"),
            QStringLiteral("-af"),
            QStringLiteral("volumedetect"),
            QStringLiteral("-f"),
            QStringLiteral("null"),
            QStringLiteral("-")};
}

QStringList normalize(const QString& source, const QString& filter, const QString& ext, bool covers,
                      const QString& out)
{
    return channels(source, filter, ext, covers, out);
}

QString visualGraph(VisualShape shape, VisualStyle style, const QString& color, int channels, bool background)
{
    const VisualFrame f = visualFrame(shape);
    const QString frame = integer(f.width) + QLatin1Char('x') + integer(f.height);
    const QString strip = integer(f.width) + QLatin1Char('x') + integer(f.strip);
    QString v;
    switch (style) {
    case VisualStyle::wave:
        v = QStringLiteral("showwaves=s=%1:mode=cline:rate=30:colors=0x%2:scale=sqrt").arg(strip, color);
        break;
    case VisualStyle::line:
        v = QStringLiteral("showwaves=s=%1:mode=line:rate=30:colors=0x%2:draw=full").arg(strip, color);
        break;
    case VisualStyle::bars:
        v = QStringLiteral("showfreqs=s=%1:mode=bar:ascale=sqrt:fscale=log:colors=%2:win_size=2048:overlap=0,"
                           "fps=30")
                .arg(strip, everyChannel(color, channels));
        break;
    }
    const QString size = integer(f.width) + QLatin1Char(':') + integer(f.height);
    const QString b =
        background
            ? QStringLiteral("color=black:s=%1:r=30[c];[1:v]scale=%2:force_original_aspect_ratio=increase,"
                             "crop=%2,setsar=1[img];[c][img]overlay=0:0[bg]")
                  .arg(frame, size)
            : QStringLiteral("color=black:s=%1:r=30[bg]").arg(frame);
    return b + QStringLiteral(";[0:a]") + v +
           QStringLiteral(",format=rgba,colorkey=black:0.01:0.0[w];[bg][w]overlay=0:(H-h)/2:shortest=1,"
                          "format=yuv420p[v]");
}

QStringList extraInputs(const Extras& extras)
{
    QStringList args;
    // "-f" right before "-i": a file the operation wrote is the one input the guard leaves alone.
    for (const Extras::Track& t : extras.tracks)
        args << QStringLiteral("-f") << QStringLiteral("srt") << QStringLiteral("-i") << t.path;
    return args;
}

QStringList extraOutputs(const Extras& extras, int firstTrack)
{
    QStringList args;
    int subtitle = 0;
    int video = 1;
    const auto tag = [&](const QString& stream, const QString& key, const QString& value) {
        if (!value.isEmpty())
            args << QStringLiteral("-metadata:s:") + stream << key + QLatin1Char('=') + value;
    };
    for (const Extras::Copied& c : extras.copied) {
        args << QStringLiteral("-map") << QStringLiteral("0:") + integer(c.index);
        if (c.cover) {
            const QString v = integer(video++);
            args << QStringLiteral("-c:v:") + v << c.codec << QStringLiteral("-disposition:v:") + v
                 << QStringLiteral("attached_pic");
        } else {
            const QString s = integer(subtitle++);
            args << QStringLiteral("-c:s:") + s << c.codec;
            tag(QStringLiteral("s:") + s, QStringLiteral("language"), c.language);
            tag(QStringLiteral("s:") + s, QStringLiteral("title"), c.title);
        }
    }
    for (int i = 0; i < extras.tracks.size(); ++i) {
        const Extras::Track& t = extras.tracks[i];
        const QString s = integer(subtitle++);
        args << QStringLiteral("-map") << integer(firstTrack + i) + QStringLiteral(":0")
             << QStringLiteral("-c:s:") + s << t.codec;
        tag(QStringLiteral("s:") + s, QStringLiteral("language"), t.language);
        tag(QStringLiteral("s:") + s, QStringLiteral("title"), t.title);
    }
    if (extras.attachments) args << QStringLiteral("-map") << QStringLiteral("0:t?");
    for (int k = 0; k < extras.sound.size(); ++k) {
        tag(QStringLiteral("a:") + integer(k), QStringLiteral("language"), extras.sound[k].language);
        tag(QStringLiteral("a:") + integer(k), QStringLiteral("title"), extras.sound[k].title);
    }
    return args;
}

QStringList visualize(const QString& source, VisualShape shape, VisualStyle style, const QString& color,
                      int channels, const std::optional<QString>& background, double duration,
                      const QString& out)
{
    QStringList args{QStringLiteral("-i"), source};
    // The picture is a PNG the operation wrote itself, read as exactly that.
    if (background)
        args << QStringLiteral("-protocol_whitelist") << QStringLiteral("file") << QStringLiteral("-f")
             << QStringLiteral("png_pipe") << QStringLiteral("-i") << *background;
    return args + QStringList{QStringLiteral("-filter_complex"),
                              visualGraph(shape, style, color, channels, background.has_value()),
                              QStringLiteral("-map"),
                              QStringLiteral("[v]"),
                              QStringLiteral("-map"),
                              QStringLiteral("0:a"),
                              QStringLiteral("-c:v"),
                              QStringLiteral("libx264"),
                              QStringLiteral("-preset"),
                              QStringLiteral("veryfast"),
                              QStringLiteral("-crf"),
                              QStringLiteral("22"),
                              QStringLiteral("-c:a"),
                              QStringLiteral("aac"),
                              QStringLiteral("-b:a"),
                              QStringLiteral("192k"),
                              QStringLiteral("-shortest"),
                              QStringLiteral("-t"),
                              fixed(duration, 3),
                              QStringLiteral("-movflags"),
                              QStringLiteral("+faststart"),
                              out};
}

} // namespace ToolArgs
