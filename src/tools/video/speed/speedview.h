#pragma once

#include "toolkit/toolview.h"
#include "toolkit/video/videomodel.h"

class Checkbox;
class QLabel;
class Segmented;
class SecondaryButton;
class SpeedPreview;

// The Change Speed window: the first file's preview, one of the offered factors and whether the
// sound keeps its pitch; Preview plays a short clip from the playhead at that speed; Save makes a
// copy of every dropped file at that speed, one after another.
class SpeedView : public ToolView
{
    Q_OBJECT
  public:
    explicit SpeedView(std::shared_ptr<ToolContext> context, QWidget* parent = nullptr);
    // Over another backend of the model; tests give a player where there is no display.
    SpeedView(std::shared_ptr<ToolContext> context, VideoModel::Backend backend, QWidget* parent = nullptr);

    VideoModel& model() const { return *m_model; }
    Segmented* speeds() const { return m_speeds; }
    Checkbox* pitchBox() const { return m_pitch; }
    QLabel* lengthText() const { return m_length; }
    SecondaryButton* previewButton() const { return m_previewButton; }
    SpeedPreview& preview() const { return *m_preview; }
    QLabel* errorText() const { return m_error; }
    double speed() const { return m_speed; }

  protected:
    void apply() override;

  private:
    void refresh();

    VideoModel* m_model;
    Segmented* m_speeds;
    Checkbox* m_pitch;
    QLabel* m_length;
    SecondaryButton* m_previewButton;
    SpeedPreview* m_preview;
    QLabel* m_error;
    double m_speed = 2;
};
