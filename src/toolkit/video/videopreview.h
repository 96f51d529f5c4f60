#pragma once

#include <QWidget>

class QTimer;
class VideoModel;

// The picture of a video window on a dark stage: the player's frames, or the still frame where
// the file cannot be played, fitted whole; a turning spinner while there is neither.
class VideoPreview : public QWidget
{
    Q_OBJECT
  public:
    explicit VideoPreview(VideoModel& model, QWidget* parent = nullptr);

    // `picture` fitted into `size` on the stage; the spinner at `phase` (0…1) when it is null.
    static void paint(QPainter& painter, QSizeF size, const QImage& picture, double phase);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void pictureChanged();

    VideoModel& m_model;
    QTimer* m_spinner;
    double m_phase = 0;
};
