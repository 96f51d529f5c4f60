#include "engines/media/ffmpegdescription.h"

#include <QRegularExpression>

namespace {

// "  Duration: 00:01:02.50, start: …": the length the source states; none for "N/A".
std::optional<double> statedLength(const QString& line)
{
    static const QRegularExpression pattern(QStringLiteral(R"(^  Duration: (\d+):(\d\d):(\d\d(?:\.\d+)?),)"));
    const QRegularExpressionMatch m = pattern.match(line);
    if (!m.hasMatch()) return std::nullopt;
    return m.captured(1).toDouble() * 3600 + m.captured(2).toDouble() * 60 + m.captured(3).toDouble();
}

struct StreamLine
{
    QString kind; // "Video", "Audio", …
    QString codec;
    bool cover = false;
};

// "  Stream #0:1[0x2](eng): Audio: aac (LC) (mp4a / 0x6134706D), 44100 Hz, …"; the codec is the
// name ffprobe gives as codec_name.
std::optional<StreamLine> streamLine(const QString& line)
{
    static const QRegularExpression pattern(
        QStringLiteral(R"(^  Stream #\d+:\d+(?:\[0x[0-9a-f]+\])?(?:\([^()]*\))?: (\w+): ([\w-]+))"));
    const QRegularExpressionMatch m = pattern.match(line);
    if (!m.hasMatch()) return std::nullopt;
    return StreamLine{m.captured(1), m.captured(2), line.endsWith(QLatin1String(" (attached pic)"))};
}

} // namespace

bool FfmpegDescription::add(const QString& line)
{
    static const QRegularExpression inputStart(QStringLiteral(R"(^Input #0, [^ ]+, from ')"));
    static const QRegularExpression outputStart(QStringLiteral(R"(^Output #0, ([\w-]+), to ')"));
    if (inputStart.match(line).hasMatch()) {
        m_section = Section::input;
        m_reading = {};
        return false;
    }
    if (m_section == Section::input && !line.startsWith(QLatin1String("  "))) {
        // Anything at the left margin after the input's lines ends its description.
        input = m_reading;
        m_section = Section::none;
        add(line);
        return true;
    }
    if (const QRegularExpressionMatch m = outputStart.match(line); m.hasMatch()) {
        m_section = Section::output;
        outputFormat = m.captured(1);
        outputVideo = outputAudio = false;
        return false;
    }
    if (m_section == Section::input) {
        if (const auto length = statedLength(line)) m_reading.duration = *length;
        if (const auto s = streamLine(line)) {
            if (s->kind == QLatin1String("Video") && !s->cover && !m_reading.videoCodec)
                m_reading.videoCodec = s->codec;
            if (s->kind == QLatin1String("Audio") && !m_reading.audioCodec) m_reading.audioCodec = s->codec;
        }
    } else if (m_section == Section::output) {
        if (const auto s = streamLine(line)) {
            outputVideo = outputVideo || s->kind == QLatin1String("Video");
            outputAudio = outputAudio || s->kind == QLatin1String("Audio");
        }
    }
    return false;
}
