#pragma once

#include <QColor>
#include <QPainterPath>
#include <QWidget>

// The base of every window that floats over the user's work (the wheel, progress panels, tool
// windows): frameless and above everything. Outside its shape the window lets the desktop
// through: where a compositor runs it is translucent there, elsewhere it is cut to its shape and
// painted opaque (an opaque backdrop under its drawing). It asks again each time it is shown and
// follows a compositor that starts or stops while it is up.
class FloatingPanel : public QWidget
{
    Q_OBJECT
  public:
    enum class Kind {
        // Never focused or activated, so the application the user works in keeps the focus; of
        // a fixed size; on every workspace. Progress panels and the shelf.
        panel,
        // A panel that bypasses the window manager entirely (no placement, no decoration). The wheel.
        overlay,
        // A window the user works in: managed, takes the keyboard focus, moved by dragging its
        // background and resized by dragging its edges. Tool windows.
        window,
    };

    FloatingPanel(QSize size, Kind kind, QWidget* parent = nullptr);

    Kind kind() const { return m_kind; }

    // The outline of what the window draws, in its own coordinates; the whole window unless set.
    void setShape(const QPainterPath& shape);
    QPainterPath shape() const { return m_shape; }
    // Where the window also takes the pointer and drops, though it draws nothing there (empty
    // unless set). An X window takes input only within its cut, so without a compositor the cut
    // covers this too and is painted plainly there: a copy of the screen, taken mid-drag, would
    // hold the drag's icon, frozen.
    void setReach(const QPainterPath& reach);
    // True while drawn translucent over a compositor; false while cut to the shape.
    bool isTranslucent() const { return m_translucent; }

    // What an opaque window paints under its drawing: a light frosted tone.
    static QColor backdrop();

    // The edges a press at `point` resizes in a window of `size`: those within `grip` of it.
    static Qt::Edges edgesAt(QPointF point, QSizeF size, double grip = 6);

    void setVisible(bool visible) override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    // A window kind's background: a press at an edge resizes, elsewhere it moves the window.
    void mousePressEvent(QMouseEvent* event) override;

  private:
    // Asks whether a compositor runs and sets the look to match.
    void matchCompositor();
    void applyShape();
    // Has the compositor take the newly shown window afresh, so no shadow it worked out
    // beforehand stays under or around it.
    void settleOnCompositor();

    const Kind m_kind;
    QPainterPath m_shape;
    bool m_shapeSet = false;
    bool m_translucent = true;
    QPainterPath m_reach;
};
