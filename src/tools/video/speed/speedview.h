#pragma once

#include "toolkit/toolview.h"

class Checkbox;
class QLabel;
class Segmented;
class VideoModel;

// The Change Speed window: the first file's preview, one of the offered factors and whether the
// sound keeps its pitch; Save makes a copy of every dropped file at that speed, one after
// another.
class SpeedView : public ToolView
{
    Q_OBJECT
  public:
    explicit SpeedView(std::shared_ptr<ToolContext> context, QWidget* parent = nullptr);

    VideoModel& model() const { return *m_model; }
    Segmented* speeds() const { return m_speeds; }
    Checkbox* pitchBox() const { return m_pitch; }
    QLabel* lengthText() const { return m_length; }
    double speed() const { return m_speed; }

  protected:
    void apply() override;

  private:
    void refresh();

    VideoModel* m_model;
    Segmented* m_speeds;
    Checkbox* m_pitch;
    QLabel* m_length;
    double m_speed = 2;
};
