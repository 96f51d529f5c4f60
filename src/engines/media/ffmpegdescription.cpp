#include "engines/media/ffmpegdescription.h"

#include <QRegularExpression>

namespace {

// "  Duration: 00:01:02.50, start: 5.000000, …": the length the source of the format `format`
// states, less its start where that states its end (Media::playedLength); none for "N/A".
std::optional<double> statedLength(const QString& line, const QString& format)
{
    static const QRegularExpression pattern(
        QStringLiteral(R"(^  Duration: (\d+):(\d\d):(\d\d(?:\.\d+)?)(?:, start: (-?\d+(?:\.\d+)?))?)"));
    const QRegularExpressionMatch m = pattern.match(line);
    if (!m.hasMatch()) return std::nullopt;
    return Media::playedLength(m.captured(1).toDouble() * 3600 + m.captured(2).toDouble() * 60 +
                                   m.captured(3).toDouble(),
                               m.captured(4).toDouble(), format);
}

struct StreamLine
{
    int index = 0;
    QString kind; // "Video", "Audio", …
    QString codec;
    bool cover = false;
    std::optional<double> rate; // "25 fps" for a picture, "44100 Hz" for sound
};

// A whole number of ffmpeg's; none when it does not fit.
std::optional<qint64> count(const QString& digits)
{
    bool ok = false;
    const qint64 n = digits.toLongLong(&ok);
    return ok ? std::optional<qint64>(n) : std::nullopt;
}

// "  Stream #0:1[0x2](eng): Audio: aac (LC) (mp4a / 0x6134706D), 44100 Hz, …"; the codec is the
// name ffprobe gives as codec_name.
std::optional<StreamLine> streamLine(const QString& line)
{
    static const QRegularExpression pattern(
        QStringLiteral(R"(^  Stream #\d+:(\d+)(?:\[0x[0-9a-f]+\])?(?:\([^()]*\))?: (\w+): ([\w-]+))"));
    static const QRegularExpression fps(QStringLiteral(R"(, (\d+(?:\.\d+)?) fps(?:,|$))"));
    static const QRegularExpression hz(QStringLiteral(R"(, (\d+) Hz(?:,|$))"));
    const QRegularExpressionMatch m = pattern.match(line);
    if (!m.hasMatch()) return std::nullopt;
    StreamLine s{m.captured(1).toInt(), m.captured(2), m.captured(3),
                 line.endsWith(QLatin1String(" (attached pic)")), std::nullopt};
    const QRegularExpressionMatch r =
        (s.kind == QLatin1String("Video") ? fps : hz).match(line, m.capturedEnd(0));
    if (r.hasMatch()) s.rate = r.captured(1).toDouble();
    return s;
}

// The language of a stream line, "eng" of "  Stream #0:1[0x2](eng): Audio: …"; empty for none.
QString languageOf(const QString& line)
{
    static const QRegularExpression pattern(
        QStringLiteral(R"(^  Stream #\d+:\d+(?:\[0x[0-9a-f]+\])?\(([^()]*)\): )"));
    return pattern.match(line).captured(1);
}

} // namespace

bool FfmpegDescription::add(const QString& line)
{
    static const QRegularExpression inputStart(QStringLiteral(R"(^Input #0, ([^ ]+), from ')"));
    static const QRegularExpression outputStart(QStringLiteral(R"(^Output #0, ([\w-]+), to ')"));
    static const QRegularExpression inputStatistics(QStringLiteral(R"(^Input file #0 \(.*\):$)"));
    static const QRegularExpression outputStatistics(QStringLiteral(R"(^Output file #0 \(.*\):$)"));
    // "    Chapter #0:1: start 2.000000, end 4.000000"
    static const QRegularExpression chapterLine(QStringLiteral(R"(^    Chapter #0:\d+: start )"));
    if (m_section == Section::input && !line.startsWith(QLatin1String("  "))) {
        // Anything at the left margin after the input's lines ends its description.
        input = m_reading;
        inputChapters = m_chapters;
        inputPlain = m_pictures == 1 && !m_otherStream;
        m_section = Section::none;
        add(line);
        return true;
    }
    // A line of one of ffmpeg's parts ("[mp4 @ 0x…] …") may come from another thread in between.
    if (line.startsWith(QLatin1Char('['))) return false;
    if (!line.startsWith(QLatin1Char(' '))) {
        // Each other line at the left margin opens a section or ends the one before.
        m_section = Section::none;
        if (const QRegularExpressionMatch m = inputStart.match(line); m.hasMatch()) {
            m_section = Section::input;
            m_reading = {};
            m_chapters = 0;
            m_pictures = 0;
            m_otherStream = false;
            m_inputFormat = m.captured(1);
        } else if (const QRegularExpressionMatch m = outputStart.match(line); m.hasMatch()) {
            m_section = Section::output;
            m_doubt = m_doubt || !outputFormat.isEmpty();
            outputFormat = m.captured(1);
            outputVideo = outputAudio = false;
        } else if (line == QLatin1String("Stream mapping:")) {
            m_section = Section::mapping;
        } else if (inputStatistics.match(line).hasMatch()) {
            m_section = Section::inputStatistics;
        } else if (outputStatistics.match(line).hasMatch()) {
            m_section = Section::outputStatistics;
        }
        return false;
    }
    switch (m_section) {
    case Section::input:
        if (const auto length = statedLength(line, m_inputFormat)) m_reading.duration = *length;
        if (chapterLine.match(line).hasMatch()) ++m_chapters;
        if (const auto s = streamLine(line)) {
            if (s->kind == QLatin1String("Video") && !s->cover && !m_reading.videoCodec)
                m_reading.videoCodec = s->codec;
            if (s->kind == QLatin1String("Audio") && !m_reading.audioCodec) m_reading.audioCodec = s->codec;
            if (s->kind == QLatin1String("Video")) ++m_pictures;
            const QString language = languageOf(line);
            m_otherStream = m_otherStream || s->cover ||
                            (!language.isEmpty() && language != QLatin1String("und")) ||
                            (s->kind != QLatin1String("Video") && s->kind != QLatin1String("Audio"));
        } else if (line.startsWith(QLatin1String("  Stream #"))) {
            m_otherStream = true;
        }
        break;
    case Section::output:
        addOutputStream(line);
        break;
    case Section::mapping:
        addMapping(line);
        break;
    case Section::inputStatistics:
    case Section::outputStatistics:
        addStatistics(line);
        break;
    case Section::none:
        break;
    }
    return false;
}

void FfmpegDescription::addOutputStream(const QString& line)
{
    const auto s = streamLine(line);
    if (!s) return;
    outputVideo = outputVideo || s->kind == QLatin1String("Video");
    outputAudio = outputAudio || s->kind == QLatin1String("Audio");
    OutputStream& out = m_outputs[s->index];
    m_doubt = m_doubt || !out.kind.isEmpty();
    out.kind = s->kind.toLower();
    out.rate = s->rate;
}

// "  Stream #0:1 -> #0:1 (copy)" or "  Stream #0:0 -> #0:0 (vp9 (native) -> h264 (libx264))".
void FfmpegDescription::addMapping(const QString& line)
{
    static const QRegularExpression pattern(QStringLiteral(R"(^  Stream #0:(\d+) -> #0:(\d+) \((.+)\)$)"));
    const QRegularExpressionMatch m = pattern.match(line);
    if (!m.hasMatch()) return;
    OutputStream& out = m_outputs[m.captured(2).toInt()];
    m_doubt = m_doubt || out.copied.has_value();
    out.from = m.captured(1).toInt();
    out.copied = m.captured(3) == QLatin1String("copy");
}

// "  Input stream #0:1 (audio): 174 packets read (34918 bytes); 174 frames decoded (178176 samples); "
// "  Output stream #0:1 (audio): 155 frames encoded (178176 samples); 156 packets muxed (32600 bytes); "
void FfmpegDescription::addStatistics(const QString& line)
{
    static const QRegularExpression read(QStringLiteral(
        R"(^  Input stream #0:(\d+) \((\w+)\): (\d+) packets read \(\d+ bytes\);(?: \d+ frames decoded(?: \(\d+ samples\))?;)? ?$)"));
    static const QRegularExpression written(QStringLiteral(
        R"(^  Output stream #0:(\d+) \((\w+)\): (?:(\d+) frames encoded(?: \((\d+) samples\))?; )?(\d+) packets muxed \(\d+ bytes\); ?$)"));
    if (m_section == Section::inputStatistics) {
        const QRegularExpressionMatch m = read.match(line);
        if (!m.hasMatch()) return;
        const int index = m.captured(1).toInt();
        const auto packets = count(m.captured(3));
        m_doubt = m_doubt || !packets || m_packetsRead.contains(index);
        if (packets) m_packetsRead.insert(index, *packets);
        return;
    }
    const QRegularExpressionMatch m = written.match(line);
    if (!m.hasMatch()) return;
    OutputStream& out = m_outputs[m.captured(1).toInt()];
    m_doubt = m_doubt || out.packets.has_value() || out.kind != m.captured(2);
    out.packets = count(m.captured(5));
    if (m.hasCaptured(3)) out.framesEncoded = count(m.captured(3));
    if (m.hasCaptured(4)) out.samplesEncoded = count(m.captured(4));
    m_doubt = m_doubt || !out.packets || (m.hasCaptured(3) && !out.framesEncoded) ||
              (m.hasCaptured(4) && !out.samplesEncoded);
}

bool FfmpegDescription::streamsReach(double seconds, bool video, bool audio) const
{
    if (m_doubt) return false;
    bool sawVideo = false, sawAudio = false;
    for (const OutputStream& out : m_outputs) {
        const bool isVideo = out.kind == QLatin1String("video");
        const bool isAudio = out.kind == QLatin1String("audio");
        if (!((video && isVideo) || (audio && isAudio))) continue;
        sawVideo = sawVideo || isVideo;
        sawAudio = sawAudio || isAudio;
        if (!out.copied || !out.packets || *out.packets <= 0) return false;
        if (*out.copied) {
            // Every packet read of its input, and nothing of an encoder's.
            if (out.framesEncoded || !out.from || m_packetsRead.value(*out.from, -1) != *out.packets)
                return false;
            continue;
        }
        const std::optional<qint64> done = isVideo ? out.framesEncoded : out.samplesEncoded;
        if (!done || *done <= 0 || !out.rate || !(*out.rate > 0) || double(*done) / *out.rate < seconds)
            return false;
    }
    return sawVideo == video && sawAudio == audio;
}
