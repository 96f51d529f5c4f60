#pragma once

#include <QAbstractButton>
#include <QColor>

// The 38-point tile after a row of backdrop swatches: the picture tile (a photo with a plus) or
// the well of the user's own colour; an orange ring while its backdrop is the chosen one.
class BackdropTile : public QAbstractButton
{
    Q_OBJECT
  public:
    // An invalid colour makes the picture tile.
    explicit BackdropTile(const QColor& colour = QColor(), QWidget* parent = nullptr);

    bool isSelected() const { return m_selected; }
    void setSelected(bool selected);
    QColor colour() const { return m_colour; }
    void setColour(const QColor& colour);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QColor m_colour;
    bool m_selected = false;
};
