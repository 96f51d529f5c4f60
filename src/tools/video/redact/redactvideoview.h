#pragma once

#include "core/redactstyle.h"
#include "engines/media/toolchoices.h"
#include "toolkit/toolview.h"

#include <QList>
#include <QRectF>

class QLabel;
class RedactVideoStage;
class SecondaryButton;
class Segmented;
class Timeline;
class VideoModel;

// The Redact Video window: boxes drawn over a still frame of the first file, hidden blurred,
// pixelated or black for the whole video or a stretch of it picked on the timeline; saving
// writes a redacted copy. The frame follows the timeline; the boxes belong to the picture.
class RedactVideoView : public ToolView
{
    Q_OBJECT
  public:
    explicit RedactVideoView(std::shared_ptr<ToolContext> context, QWidget* parent = nullptr);

    // The styles offered, in order (white is not).
    static const QList<RedactStyle>& styles();
    // Where the first frame is taken on a video of `duration`: a second in, or a third of a
    // shorter video.
    static double firstFrameTime(double duration);
    // The line under the controls for `count` boxes, covering the whole video or `range`.
    static QString status(qsizetype count, bool wholeVideo, const TimeRange& range);

    VideoModel& model() const { return *m_model; }
    const QList<QRectF>& boxes() const { return m_boxes; }
    RedactStyle style() const { return m_style; }
    bool wholeVideo() const { return m_wholeVideo; }
    TimeRange range() const { return m_range; }
    void setRange(const TimeRange& range);
    RedactVideoStage* stage() const { return m_stage; }
    Timeline* timeline() const { return m_timeline; }
    Segmented* extentPicker() const { return m_extent; }
    Segmented* stylePicker() const { return m_styles; }
    QLabel* statusText() const { return m_status; }
    SecondaryButton* clearButton() const { return m_clear; }

  protected:
    void apply() override;

  private:
    QWidget* controlRow();
    void setBoxes(const QList<QRectF>& boxes);
    void refresh();
    void durationKnown();

    VideoModel* m_model;
    QList<QRectF> m_boxes;
    RedactStyle m_style = RedactStyle::blur;
    bool m_wholeVideo = true;
    TimeRange m_range{0, 0};
    RedactVideoStage* m_stage;
    Timeline* m_timeline;
    Segmented* m_extent;
    Segmented* m_styles;
    QLabel* m_status;
    SecondaryButton* m_clear;
};
