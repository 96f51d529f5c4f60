#pragma once

#include <QAbstractButton>
#include <QColor>

// One colour of the annotate palette: a dot of the colour with a faint rim, ringed in orange
// while it is the current colour.
class PaletteButton : public QAbstractButton
{
    Q_OBJECT
  public:
    explicit PaletteButton(const QColor& color, QWidget* parent = nullptr);
    QSize sizeHint() const override { return QSize(22, 22); }

    QColor color() const { return m_color; }
    bool isCurrent() const { return m_current; }
    void setCurrent(bool current);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    const QColor m_color;
    bool m_current = false;
};
