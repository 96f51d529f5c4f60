#pragma once

#include <QWidget>

class QVBoxLayout;

// A titled, translucent white panel that groups rows; it spans its column and keeps its
// content at the left.
class Card : public QWidget
{
    Q_OBJECT
  public:
    explicit Card(const QString& title, QWidget* parent = nullptr);
    // The rows under the title, 10 points apart.
    QVBoxLayout* rows() const { return m_rows; }

    static void paint(QPainter& painter, QSizeF size);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QVBoxLayout* m_rows;
};
