#pragma once

#include <QList>
#include <QWidget>
#include <optional>

class BleepLaneModel;
class QPainter;

// The Bleep Audio window's waveform with the bleeps shaded over it and the playhead.
class BleepWaveArea : public QWidget
{
    Q_OBJECT
  public:
    static constexpr int height = 96;

    explicit BleepWaveArea(const BleepLaneModel& model, QWidget* parent = nullptr);

    void setSamples(const QList<float>& samples);
    void setPlayhead(std::optional<double> seconds);

    static void paint(QPainter& painter, QSizeF size, const QList<float>& samples,
                      const BleepLaneModel& model, std::optional<double> playhead);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    const BleepLaneModel& m_model;
    QList<float> m_samples;
    std::optional<double> m_playhead;
};
