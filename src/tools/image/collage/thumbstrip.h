#pragma once

#include <QImage>
#include <QList>
#include <QWidget>

class QAbstractButton;
class QHBoxLayout;

// The collage's order as a row of small tiles, each the file's thumbnail (a pale blank without
// one), its position counting from 1 and two arrows that move it one place left or right.
class ThumbStrip : public QWidget
{
    Q_OBJECT
  public:
    explicit ThumbStrip(QWidget* parent = nullptr);

    // One tile per picture, in order; a null image shows the blank.
    void setThumbs(const QList<QImage>& thumbs);
    qsizetype count() const { return m_left.size(); }
    QAbstractButton* leftButton(qsizetype i) const { return m_left.value(i); }
    QAbstractButton* rightButton(qsizetype i) const { return m_right.value(i); }
    QString positionText(qsizetype i) const;

  signals:
    // The tile at `from` asks to trade places with its neighbour at `to`.
    void swap(int from, int to);

  private:
    QHBoxLayout* m_row;
    QList<QWidget*> m_tiles;
    QList<QAbstractButton*> m_left;
    QList<QAbstractButton*> m_right;
};
