#pragma once

#include <QImage>
#include <QRect>
#include <QWidget>

class CropOverlay;
class LoadingView;

// The crop video window's dark stage: the still frame fitted into it with the crop overlay laid
// exactly over it, or a spinner until a frame has arrived.
class CropVideoStage : public QWidget
{
    Q_OBJECT
  public:
    static constexpr double padding = 12;

    explicit CropVideoStage(QWidget* parent = nullptr);

    CropOverlay* overlay() const { return m_overlay; }
    const QImage& frame() const { return m_frame; }
    void setFrame(const QImage& frame);
    // Where the frame is drawn, in whole points.
    QRect pictureRect() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void arrange();

    QImage m_frame;
    CropOverlay* m_overlay;
    LoadingView* m_loading;
};
