#include "tools/audio/bleep/bleepwavearea.h"

#include "toolkit/theme.h"
#include "toolkit/waveformview.h"
#include "tools/audio/bleep/bleeplanemodel.h"

#include <QPainter>
#include <algorithm>

BleepWaveArea::BleepWaveArea(const BleepLaneModel& model, QWidget* parent) : QWidget(parent), m_model(model)
{
    setFixedHeight(height);
    setAttribute(Qt::WA_TranslucentBackground);
}

void BleepWaveArea::setSamples(const QList<float>& samples)
{
    m_samples = samples;
    update();
}

void BleepWaveArea::setPlayhead(std::optional<double> seconds)
{
    if (seconds == m_playhead) return;
    m_playhead = seconds;
    update();
}

void BleepWaveArea::paint(QPainter& painter, QSizeF size, const QList<float>& samples,
                          const BleepLaneModel& model, std::optional<double> playhead)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor::fromRgbF(1, 1, 1, 0.22f));
    painter.drawRoundedRect(QRectF(QPointF(), size), 9, 9);
    WaveformView::paint(painter, QRectF(0, 6, size.width(), size.height() - 12), samples, Theme::orange(),
                        std::nullopt);
    QColor shade = Theme::orange();
    shade.setAlphaF(0.18f);
    for (const BleepRange& r : model.ranges) {
        const double left = model.x(r.start, size.width());
        painter.fillRect(QRectF(left, 0, std::max(model.x(r.end, size.width()) - left, 2.0), size.height()),
                         shade);
    }
    if (playhead && model.duration > 0)
        painter.fillRect(QRectF(model.x(*playhead, size.width()), 0, 2, size.height()), Theme::ink());
    painter.restore();
}

void BleepWaveArea::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paint(painter, size(), m_samples, m_model, m_playhead);
}
