#include "toolkit/waveformview.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>

WaveformView::WaveformView(const QColor& colour, QWidget* parent) : QWidget(parent), m_colour(colour)
{
    setAttribute(Qt::WA_TranslucentBackground);
}

void WaveformView::setSamples(const QList<float>& samples)
{
    if (samples == m_samples) return;
    m_samples = samples;
    update();
}

void WaveformView::setColour(const QColor& colour)
{
    if (colour == m_colour) return;
    m_colour = colour;
    update();
}

void WaveformView::setDim(const Span& dim)
{
    if (dim == m_dim) return;
    m_dim = dim;
    update();
}

void WaveformView::setPadding(double vertical, double horizontal)
{
    m_vertical = vertical;
    m_horizontal = horizontal;
    update();
}

QList<float> WaveformView::fitted(const QList<float>& samples)
{
    const auto loudest = std::max_element(samples.cbegin(), samples.cend());
    if (loudest == samples.cend() || !(*loudest > 0)) return samples;
    QList<float> out;
    out.reserve(samples.size());
    for (const float s : samples)
        out << s / *loudest;
    return out;
}

QList<WaveformView::Bar> WaveformView::bars(const QList<float>& samples, QSizeF size, const Span& dim)
{
    QList<Bar> out;
    const qsizetype n = samples.size();
    if (n == 0) return out;
    out.reserve(n);
    const double step = size.width() / double(n);
    for (qsizetype i = 0; i < n; ++i) {
        const double h = std::max(size.height() * double(samples[i]) * 0.92, 1.5);
        const double fraction = double(i) / double(n);
        const bool outside = dim && (fraction < dim->first || fraction > dim->second);
        out << Bar{
            QRectF(step * 0.2 + step * double(i), (size.height() - h) / 2, std::max(step * 0.6, 1.0), h),
            step * 0.3, outside ? 0.3 : 1.0};
    }
    return out;
}

void WaveformView::paint(QPainter& painter, const QRectF& area, const QList<float>& samples,
                         const QColor& colour, const Span& dim)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.translate(area.topLeft());
    for (const Bar& bar : bars(samples, area.size(), dim)) {
        QColor c = colour;
        c.setAlphaF(float(c.alphaF() * bar.opacity));
        const double r = std::min({bar.radius, bar.rect.width() / 2, bar.rect.height() / 2});
        painter.setBrush(c);
        painter.drawRoundedRect(bar.rect, r, r);
    }
    painter.restore();
}

void WaveformView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paint(painter, QRectF(rect()).adjusted(m_horizontal, m_vertical, -m_horizontal, -m_vertical), m_samples,
          m_colour, m_dim);
}
