#pragma once

#include "toolkit/boxdrag.h"
#include "toolkit/fittedimage.h"

#include <QColor>
#include <QImage>
#include <QList>
#include <QRectF>
#include <QString>
#include <QWidget>
#include <optional>

class LoadingView;

// A picture fitted into the widget with boxes over it, kept in unit space of the picture, or a
// spinner (or the reason it could not be read) while there is none. A drag over the picture
// draws a box, cut to its edges, and one no wider or higher than `minSide` of it is dropped; a
// click asks to remove the topmost box under it. The boxes themselves are the owner's: the stage
// only shows them and says what the mouse did.
class BoxStage : public QWidget
{
    Q_OBJECT
  public:
    // How a committed box is shown: its fill and a symbol at its centre (none when empty).
    struct Look
    {
        QColor fill = Qt::black;
        QString symbol;
    };

    // `padding` is kept free around the fitted picture on every side, in points.
    BoxStage(double padding, double minSide, QWidget* parent = nullptr);

    LoadingView* loading() const { return m_loading; }
    const QImage& picture() const { return m_picture; }
    // A null picture shows the spinner again.
    void setPicture(const QImage& picture);
    const QList<QRectF>& boxes() const { return m_boxes; }
    void setBoxes(const QList<QRectF>& boxes);
    void setLook(const Look& look);
    // The box being dragged, none between drags.
    std::optional<QRectF> draft() const { return m_drag.draft(); }
    // Where the picture is drawn, in points; empty without a picture.
    QRectF pictureRect() const;

    // One box (unit space) on a picture drawn at `shown` from the painter's origin: a committed
    // box filled as `look` says with a solid orange outline, the draft as a dashed outline only.
    static void paintBox(QPainter& painter, const QRectF& unit, QSizeF shown, const Look& look, bool filled);

  signals:
    // A drag drew `box` (unit space, large enough to keep).
    void drawn(const QRectF& box);
    // A click landed on the box at `index`, the topmost one under it.
    void clicked(int index);

  protected:
    // Paints what lies behind the picture; nothing here.
    virtual void paintBackdrop(QPainter& painter);

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    const double m_padding;
    const double m_minSide;
    LoadingView* m_loading;
    QImage m_picture;
    // The picture scaled to where it is drawn, made again only when that changes.
    FittedImage m_shown;
    QList<QRectF> m_boxes;
    Look m_look;
    BoxDrag m_drag;
};
