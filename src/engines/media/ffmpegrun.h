#pragma once

#include "core/progress.h"
#include "core/shell.h"
#include "engines/media/media.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class Job;

// One ffmpeg run as Media::ffmpeg() makes it, in two steps: the constructor starts ffmpeg and
// returns once it runs, so that the caller may work beside it; finish() waits for it, on whatever
// thread, and returns its report or throws as Media::ffmpeg() does. A run that goes unfinished
// is ended. The callbacks run on the thread that calls finish(): `onWritten` once ffmpeg reports
// its end, when it has written the whole result and flushed it, and is left to close it and exit.
class FfmpegRun
{
  public:
    FfmpegRun(const QStringList& args, std::function<double()> duration, Job* job, Progress progress,
              std::function<void(const QString&)> onInfo = {}, std::function<void()> onWritten = {});
    FfmpegRun(const FfmpegRun&) = delete;
    FfmpegRun& operator=(const FfmpegRun&) = delete;

    Media::FfmpegReport finish();

  private:
    void line(const QString& line);
    void errorLine(const QString& line);

    const std::function<double()> m_duration;
    const Progress m_progress;
    const std::function<void(const QString&)> m_onInfo;
    const std::function<void()> m_onWritten;
    QString m_id3Output; // a result whose ID3 frames are mended once ffmpeg has written it
    Media::FfmpegReport m_report;
    bool m_informing = false;
    std::optional<Shell::Started> m_started; // last: its callbacks reach the members above
};
