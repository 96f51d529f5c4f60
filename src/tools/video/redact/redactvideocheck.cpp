#include "tools/video/redact/redactvideocheck.h"

#include "engines/media/toolops.h"

#include <QDir>

namespace {

QString sample(const QString& samples, const char* name)
{
    return QDir(samples).filePath(QString::fromLatin1(name));
}

const Progress none = [](double) {};

} // namespace

namespace RedactVideoCheck {

QStringList blur(const QString& samples, Job& job)
{
    return ToolOps::redactVideo(sample(samples, "clip.mp4"), {QRectF(0.1, 0.1, 0.3, 0.3)}, RedactStyle::blur,
                                std::nullopt, job, none);
}

QStringList pixelateRange(const QString& samples, Job& job)
{
    return ToolOps::redactVideo(sample(samples, "clip.mp4"),
                                {QRectF(0.1, 0.1, 0.3, 0.3), QRectF(0.5, 0.5, 0.2, 0.2)},
                                RedactStyle::pixelate, TimeRange{1.0, 2.0}, job, none);
}

QStringList black(const QString& samples, Job& job)
{
    return ToolOps::redactVideo(sample(samples, "clip.mp4"), {QRectF(0.4, 0.4, 0.2, 0.1)}, RedactStyle::black,
                                TimeRange{0.5, 1.5}, job, none);
}

} // namespace RedactVideoCheck
