#include "toolkit/rangewaveform.h"

#include "toolkit/theme.h"
#include "toolkit/waveformview.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

namespace {

constexpr double waveInset = 8;

QColor withAlpha(QColor c, double alpha)
{
    c.setAlphaF(float(alpha));
    return c;
}

void paintHandle(QPainter& painter, double left, double height)
{
    const QRectF bar(left, 0, RangeWaveform::handleBar, height);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Theme::orange());
    painter.drawRoundedRect(bar, 4, 4);
    const QRectF grip(bar.center().x() - 1.5, bar.center().y() - 13, 3, 26);
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(grip, 1.5, 1.5);
}

} // namespace

RangeWaveform::RangeWaveform(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
}

void RangeWaveform::setSamples(const QList<float>& samples)
{
    m_state.samples = samples;
    update();
}

void RangeWaveform::setDuration(double duration)
{
    if (duration == m_state.duration) return;
    m_state.duration = duration;
    update();
}

void RangeWaveform::setRange(double start, double end)
{
    if (start == m_state.start && end == m_state.end) return;
    m_state.start = start;
    m_state.end = end;
    update();
}

void RangeWaveform::setPlayhead(std::optional<double> seconds)
{
    if (seconds == m_state.playhead) return;
    m_state.playhead = seconds;
    update();
}

std::pair<double, double> RangeWaveform::edges(const State& s, double width)
{
    if (!(s.duration > 0)) return {0, width};
    return {width * s.start / s.duration, width * s.end / s.duration};
}

std::optional<std::pair<double, double>> RangeWaveform::dragged(const State& s, double grabbed, double dx,
                                                                double width, bool leading)
{
    if (!(s.duration > 0) || !(width > 0)) return std::nullopt;
    const double t = std::min(std::max(grabbed + s.duration * dx / width, 0.0), s.duration);
    if (leading) return std::pair{std::min(t, s.end - minGap), s.end};
    return std::pair{s.start, std::max(t, s.start + minGap)};
}

std::optional<bool> RangeWaveform::handleAt(const State& s, double x, double width)
{
    const auto [startX, endX] = edges(s, width);
    if (x >= endX - 18 && x <= endX - 18 + handleFrame) return false;
    if (x >= startX - 4 && x <= startX - 4 + handleFrame) return true;
    return std::nullopt;
}

void RangeWaveform::paint(QPainter& painter, QSizeF size, const State& s)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const double w = size.width(), h = size.height();
    const auto [startX, endX] = edges(s, w);
    painter.setPen(Qt::NoPen);
    painter.setBrush(withAlpha(Qt::white, 0.25));
    painter.drawRoundedRect(QRectF(0, 0, w, h), 10, 10);

    WaveformView::Span dim;
    if (s.duration > 0) dim = std::pair{s.start / s.duration, std::max(s.start, s.end) / s.duration};
    WaveformView::paint(painter, QRectF(0, waveInset, w, h - 2 * waveInset), s.samples, Theme::orange(), dim);

    const QRectF selection(startX, 0, std::max(endX - startX, 0.0), h);
    painter.fillRect(selection, withAlpha(Theme::orange(), 0.14));
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Theme::orange(), 3));
    painter.drawRoundedRect(selection, 8, 8);

    const double inset = (handleFrame - handleBar) / 2;
    paintHandle(painter, startX - 4 + inset, h);
    paintHandle(painter, endX - 18 + inset, h);

    if (s.duration > 0 && s.playhead)
        painter.fillRect(QRectF(w * *s.playhead / s.duration - 1, 0, 2, h), Qt::white);
    painter.restore();
}

void RangeWaveform::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paint(painter, size(), m_state);
}

void RangeWaveform::mousePressEvent(QMouseEvent* event)
{
    const std::optional<bool> leading = handleAt(m_state, event->position().x(), width());
    if (!leading) return;
    m_grab = Grab{*leading, event->position().x(), *leading ? m_state.start : m_state.end};
}

void RangeWaveform::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_grab) return;
    const auto range =
        dragged(m_state, m_grab->value, event->position().x() - m_grab->pressX, width(), m_grab->leading);
    if (!range || (range->first == m_state.start && range->second == m_state.end)) return;
    emit edited(range->first, range->second);
}

void RangeWaveform::mouseReleaseEvent(QMouseEvent*)
{
    m_grab.reset();
}
