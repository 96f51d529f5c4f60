#pragma once

#include <QImage>
#include <QWidget>

// One moment in the snapshots strip: its thumbnail (dark until it arrives) with a remove button
// in the top-right corner, and its time below.
class ShotTile : public QWidget
{
    Q_OBJECT
  public:
    static constexpr int thumbWidth = 84;
    static constexpr int thumbHeight = 50;

    ShotTile(double time, const QImage& thumb, QWidget* parent = nullptr);
    // Where the remove button sits.
    static QRect removeBox();

  signals:
    void removeClicked();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    QImage m_thumb;
    QString m_time;
};
