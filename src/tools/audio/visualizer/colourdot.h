#pragma once

#include <QAbstractButton>
#include <QColor>

// A round colour choice, 20 points across, ringed in orange while chosen.
class ColourDot : public QAbstractButton
{
    Q_OBJECT
  public:
    explicit ColourDot(const QColor& colour, QWidget* parent = nullptr);
    QSize sizeHint() const override { return QSize(28, 28); }

    bool isChosen() const { return m_chosen; }
    void setChosen(bool chosen);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    const QColor m_colour;
    bool m_chosen = false;
};
