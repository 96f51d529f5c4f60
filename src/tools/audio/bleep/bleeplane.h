#pragma once

#include <QWidget>
#include <optional>

class BleepLaneModel;
class QPainter;

// The Bleep lane: the bleeps as orange bars over the audio they cover, the selected one full
// and outlined; presses, drags and releases go to the model.
class BleepLane : public QWidget
{
    Q_OBJECT
  public:
    static constexpr int height = 36;

    explicit BleepLane(BleepLaneModel& model, QWidget* parent = nullptr);

    static void paint(QPainter& painter, QSizeF size, const BleepLaneModel& model);

  signals:
    // The model changed under the pointer.
    void edited();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    BleepLaneModel& m_model;
    std::optional<double> m_pressX;
};
