#pragma once

#include "core/redactstyle.h"
#include "toolkit/boxdrag.h"
#include "toolkit/fittedimage.h"

#include <QImage>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QWidget>
#include <optional>

class ImageSource;
class LoadingView;

// The Redact Photo window's picture: the preview fitted into the area with the boxes over it,
// or the spinner or the reason the picture could not be read. A drag over the picture draws a
// box and a click on a box asks to remove it; the boxes themselves are the window's.
class RedactStage : public QWidget
{
    Q_OBJECT
  public:
    static constexpr double padding = 6;

    explicit RedactStage(const ImageSource& source, QWidget* parent = nullptr);

    LoadingView* loading() const { return m_loading; }
    void setBoxes(const QList<QRectF>& boxes);
    void setStyle(RedactStyle style);
    // The box being dragged, none between drags.
    std::optional<QRectF> draft() const { return m_drag.draft(); }
    // Where the preview is drawn, in points; empty without a preview.
    QRectF pictureRect() const;

    // One box (unit space) on a picture drawn at `shown` from the painter's origin: a committed
    // box filled in the style's colour with a solid orange outline (and the blur or pixelate
    // symbol), the draft as a dashed outline only.
    static void paintBox(QPainter& painter, const QRectF& unit, QSizeF shown, RedactStyle style, bool filled);

  signals:
    // A drag drew `box` (unit space, large enough to keep).
    void drawn(const QRectF& box);
    // A click landed on the box at `index`, the topmost one under it.
    void clicked(int index);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    void arrange();

    const ImageSource& m_source;
    LoadingView* m_loading;
    // The preview scaled to where it is drawn, made again only when that changes.
    FittedImage m_shown;
    QList<QRectF> m_boxes;
    RedactStyle m_style = RedactStyle::black;
    BoxDrag m_drag;
};
