#pragma once

#include <QAbstractButton>

// The round close button at the leading edge of a tool window's title band; lighter while the
// pointer is over it. Escape closes the window as it does (the tool window's doing).
class CloseButton : public QAbstractButton
{
    Q_OBJECT
  public:
    static constexpr int side = 28;

    explicit CloseButton(QWidget* parent = nullptr);
    QSize sizeHint() const override { return QSize(side, side); }
    bool isHovered() const { return m_hover; }

    static void paint(QPainter& painter, const QRectF& rect, bool hover);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    bool m_hover = false;
};
