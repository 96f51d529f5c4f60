#pragma once

#include "toolkit/fittedimage.h"

#include <QImage>
#include <QRect>
#include <QWidget>

class CropOverlay;
class ImageSource;
class LoadingView;

// The crop image window's picture: the preview fitted into the area with the crop overlay
// laid exactly over it, or the spinner or the reason the picture could not be read.
class CropStage : public QWidget
{
    Q_OBJECT
  public:
    static constexpr double padding = 14;

    CropStage(const ImageSource& source, QWidget* parent = nullptr);

    CropOverlay* overlay() const { return m_overlay; }
    LoadingView* loading() const { return m_loading; }
    // Where the preview is drawn, in whole points.
    QRect pictureRect() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void arrange();

    const ImageSource& m_source;
    // The preview scaled to where it is drawn, made again when that changes, so that drags over
    // it do not scale the whole preview each time.
    FittedImage m_shown;
    CropOverlay* m_overlay;
    LoadingView* m_loading;
};
