#include "tools/audio/visualizer/visualizerpreview.h"

#include "toolkit/imagegeometry.h"
#include "toolkit/waveformview.h"

#include <QPainter>

VisualizerPreview::VisualizerPreview(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
}

void VisualizerPreview::setState(const State& state)
{
    m_state = state;
    update();
}

QRectF VisualizerPreview::frame(QSizeF size, VisualShape shape)
{
    const VisualFrame f = visualFrame(shape);
    return fittedRect(QSizeF(f.width, f.height), size, padding);
}

double VisualizerPreview::waveHeight(VisualShape shape)
{
    const VisualFrame f = visualFrame(shape);
    return f.width > f.height ? 70 : 80;
}

QList<float> VisualizerPreview::shown(const QList<float>& samples, VisualStyle style)
{
    if (style != VisualStyle::line) return samples;
    QList<float> half;
    half.reserve(samples.size());
    for (const float s : samples)
        half << s / 2;
    return half;
}

void VisualizerPreview::paint(QPainter& painter, QSizeF size, const State& state)
{
    const QRectF box = frame(size, state.shape);
    painter.save();
    painter.setClipRect(box);
    painter.fillRect(box, Qt::black);
    if (!state.background.isNull()) {
        // Scaled to cover the frame, the overflow cut off, as the video will be.
        const QSizeF picture =
            QSizeF(state.background.size()).scaled(box.size(), Qt::KeepAspectRatioByExpanding);
        const QRectF target(box.center() - QPointF(picture.width() / 2, picture.height() / 2), picture);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(target, state.background);
    }
    const double h = waveHeight(state.shape);
    const QRectF strip(box.left() + waveInset, box.center().y() - h / 2, box.width() - 2 * waveInset, h);
    WaveformView::paint(painter, strip, shown(state.samples, state.style), state.colour, std::nullopt);
    painter.restore();
}

void VisualizerPreview::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paint(painter, size(), m_state);
}
