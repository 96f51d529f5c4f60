#pragma once

#include "toolkit/cropaspect.h"
#include "toolkit/toolview.h"

#include <QRectF>
#include <QSizeF>

class CropVideoStage;
class OrangeSlider;
class QLabel;
class SecondaryButton;
class Segmented;
class VideoModel;

// The Crop Video window: a still of the first file, picked with a slider, under the crop
// rectangle in unit coordinates of the picture, so one rectangle fits every dropped file
// whatever its size; Apply crops each file with it, one after another.
class CropVideoView : public ToolView
{
    Q_OBJECT
  public:
    explicit CropVideoView(std::shared_ptr<ToolContext> context, QWidget* parent = nullptr);

    VideoModel& model() const { return *m_model; }
    CropVideoStage* stage() const { return m_stage; }
    Segmented* aspects() const { return m_aspects; }
    OrangeSlider* scrubber() const { return m_scrub; }
    SecondaryButton* resetButton() const { return m_reset; }
    QLabel* sizeText() const { return m_size; }
    QLabel* timeText() const { return m_time; }
    QRectF rect() const { return m_rect; }
    void setRect(const QRectF& rect);
    CropAspect aspect() const { return m_aspect; }
    void setAspect(CropAspect aspect);
    // The video's pixel size as the rectangle treats it; 0 × 0 before a frame is shown.
    QSizeF pixelSize() const;
    // Asks for the frame at `seconds`; a newer request supersedes it.
    void loadFrame(double seconds);

  protected:
    void apply() override;

  private:
    void frameArrived();
    void scrubbed(double seconds);
    void reset();
    void refresh();

    VideoModel* m_model;
    CropVideoStage* m_stage;
    Segmented* m_aspects;
    QLabel* m_size;
    OrangeSlider* m_scrub;
    QLabel* m_time;
    SecondaryButton* m_reset;
    QRectF m_rect{0, 0, 1, 1};
    CropAspect m_aspect = CropAspect::free;
};
