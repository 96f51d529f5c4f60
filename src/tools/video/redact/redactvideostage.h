#pragma once

#include "core/redactstyle.h"
#include "toolkit/boxdrag.h"

#include <QImage>
#include <QList>
#include <QRectF>
#include <QWidget>
#include <optional>

class LoadingView;

// The Redact Video window's picture: a still frame fitted on a dark stage with the boxes over it
// (black ones black, blurred and pixelated ones a translucent gray), or a spinner until a first
// frame came. A drag over the frame draws a box, a click on a box asks to remove it; the boxes
// themselves are the window's.
class RedactVideoStage : public QWidget
{
    Q_OBJECT
  public:
    static constexpr double padding = 10;
    // A drawn box narrower or lower than this share of the frame is dropped.
    static constexpr double minSide = 0.01;

    explicit RedactVideoStage(QWidget* parent = nullptr);

    // A null frame keeps the one shown: a failed grab leaves the last good picture.
    void setFrame(const QImage& frame);
    const QImage& frame() const { return m_frame; }
    void setBoxes(const QList<QRectF>& boxes);
    void setStyle(RedactStyle style);
    std::optional<QRectF> draft() const { return m_drag.draft(); }
    // Where the frame is drawn, in points; empty without a frame.
    QRectF pictureRect() const;

    // The fill of a committed box in `style`: black for black, else gray at 0.7.
    static QColor fillOf(RedactStyle style);

  signals:
    void drawn(const QRectF& box);
    void clicked(int index);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    void paintBox(QPainter& painter, const QRectF& box, QSizeF shown, bool filled) const;

    LoadingView* m_loading;
    QImage m_frame;
    QList<QRectF> m_boxes;
    RedactStyle m_style = RedactStyle::blur;
    BoxDrag m_drag;
};
