#pragma once

#include "toolkit/toolview.h"
#include "tools/image/editphoto/photoadjustments.h"

#include <QImage>
#include <functional>

class ImageSource;
class PhotoStage;
class PreviewRunner;
class SecondaryButton;
class SliderRow;

// The Edit Photo window: the first dropped picture on a dark stage, rendered live with the
// fifteen adjustments of the sliders beneath it; "Save Edited Copy" saves every dropped picture
// with them, and is offered only once the picture has loaded and something was moved.
class EditPhotoView : public ToolView
{
    Q_OBJECT
  public:
    static constexpr double previewSize = 1400;
    static constexpr int stageHeight = 300;
    using Renderer = std::function<QImage(const QImage&, const PhotoAdjustments&)>;

    explicit EditPhotoView(std::shared_ptr<ToolContext> context, QWidget* parent = nullptr);

    const PhotoAdjustments& adjustments() const { return m_adjustments; }
    const ImageSource& source() const { return *m_source; }
    PhotoStage* stage() const { return m_stage; }
    // The slider rows in their order, one per field of the adjustments.
    const QList<SliderRow*>& rows() const { return m_rows; }
    SecondaryButton* resetButton() const { return m_reset; }
    // The newest rendered preview; null before the first render and after one that failed.
    const QImage& rendered() const { return m_rendered; }
    bool isRendering() const;

    // How previews are rendered: the adjustments renderer unless replaced (tests hold renders
    // back with it). Runs on the preview pool.
    void setRenderer(Renderer renderer) { m_renderer = std::move(renderer); }

  protected:
    void apply() override;

  private:
    QWidget* sliders();
    void setAdjustments(const PhotoAdjustments& a);
    void rerender();
    void setShowOriginal(bool showOriginal);
    void showImage();

    ImageSource* m_source;
    PreviewRunner* m_runner;
    PhotoStage* m_stage;
    QList<SliderRow*> m_rows;
    SecondaryButton* m_reset;
    PhotoAdjustments m_adjustments;
    QImage m_rendered;
    bool m_showOriginal = false;
    Renderer m_renderer;
};
