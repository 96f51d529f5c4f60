#pragma once

#include <QString>
#include <QStringList>

class Job;

// The redact-video tool's rows of the self-test: its operation once over the samples in `samples`, with
// fixed choices. Each returns what it wrote and throws ConvertError.
namespace RedactVideoCheck {

// "redact blur": the box (0.1, 0.1, 0.3 × 0.3) of clip.mp4 blurred throughout.
QStringList blur(const QString& samples, Job& job);
// "redact pixelate+range": two boxes pixelated from 1 s to 2 s.
QStringList pixelateRange(const QString& samples, Job& job);
// "redact black": the box (0.4, 0.4, 0.2 × 0.1) in black from 0.5 s to 1.5 s.
QStringList black(const QString& samples, Job& job);

} // namespace RedactVideoCheck
