#pragma once

#include <QColor>
#include <QPainterPath>
#include <QWidget>

// The base of every window that floats over the user's work (the wheel, progress panels):
// frameless, above everything, and never focused or activated, so the application the user
// works in keeps the focus. Outside its shape the window lets the desktop through: where a
// compositor runs it is translucent there, elsewhere it is cut to its shape and painted opaque
// (an opaque backdrop under its drawing). It asks again each time it is shown and follows a
// compositor that starts or stops while it is up.
class FloatingPanel : public QWidget
{
    Q_OBJECT
  public:
    // `unmanaged` windows bypass the window manager entirely (no placement, no decoration).
    explicit FloatingPanel(QSize size, bool unmanaged = false, QWidget* parent = nullptr);

    // The outline of what the window draws, in its own coordinates; the whole window unless set.
    void setShape(const QPainterPath& shape);
    QPainterPath shape() const { return m_shape; }
    // True while drawn translucent over a compositor; false while cut to the shape.
    bool isTranslucent() const { return m_translucent; }

    // What an opaque window paints under its drawing: a light frosted tone.
    static QColor backdrop();

    void setVisible(bool visible) override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    // Asks whether a compositor runs and sets the look to match.
    void matchCompositor();
    void applyShape();

    QPainterPath m_shape;
    bool m_translucent = true;
};
