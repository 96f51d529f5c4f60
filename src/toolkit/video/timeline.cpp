#include "toolkit/video/timeline.h"

#include "toolkit/symbols.h"
#include "toolkit/theme.h"
#include "toolkit/video/timelinegeometry.h"
#include "toolkit/video/videomodel.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace TG = TimelineGeometry;

Timeline::Timeline(VideoModel& model, QWidget* parent) : QWidget(parent), m_model(model)
{
    setFixedHeight(int(TG::height + 2 * inset));
    setMinimumWidth(120);
    for (auto signal : {&VideoModel::thumbsChanged, &VideoModel::timeChanged, &VideoModel::durationChanged})
        connect(&model, signal, this, qOverload<>(&QWidget::update));
}

void Timeline::setRange(const std::optional<TimeRange>& range)
{
    if (range == m_range) return;
    m_range = range;
    update();
}

void Timeline::setMarkers(const QList<double>& markers)
{
    if (markers == m_markers) return;
    m_markers = markers;
    update();
}

Timeline::State Timeline::state() const
{
    return {std::max(0.0, width() - 2 * inset),
            m_model.duration(),
            m_model.time(),
            m_model.thumbs(),
            m_range,
            m_markers};
}

void Timeline::paint(QPainter& painter, const State& s)
{
    const double w = s.width;
    const double h = TG::height;
    const auto x = [&](double t) { return TG::x(t, w, s.duration); };
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);

    QPainterPath strip;
    strip.addRoundedRect(QRectF(0, 0, w, h), 8, 8);
    painter.save();
    painter.setClipPath(strip);
    painter.fillRect(QRectF(0, 0, w, h), QColor::fromRgbF(0, 0, 0, 0.4f));
    const double cell = w / std::max<qsizetype>(s.thumbs.size(), 1);
    for (qsizetype i = 0; i < s.thumbs.size(); ++i) {
        // Each thumbnail fills its cell, cut to it.
        const QImage& thumb = s.thumbs[i];
        const QRectF target(i * cell, 0, cell, h);
        const double scale = std::max(cell / thumb.width(), h / thumb.height());
        const QSizeF shown(cell / scale, h / scale);
        const QRectF source((thumb.width() - shown.width()) / 2, (thumb.height() - shown.height()) / 2,
                            shown.width(), shown.height());
        painter.drawImage(target, thumb, source);
    }
    painter.restore();

    if (s.range) {
        const double lo = x(s.range->start), hi = x(s.range->end);
        const QColor dim = QColor::fromRgbF(0, 0, 0, 0.55f);
        painter.fillRect(QRectF(0, 0, std::max(lo, 0.0), h), dim);
        painter.fillRect(QRectF(hi, 0, std::max(w - hi, 0.0), h), dim);
        painter.setPen(QPen(Theme::orange(), 3));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(lo, 0, std::max(hi - lo, 0.0), h), 8, 8);
        painter.setPen(Qt::NoPen);
        for (const QRectF& frame :
             {TG::leadingHandle(*s.range, w, s.duration), TG::trailingHandle(*s.range, w, s.duration)}) {
            const QRectF bar(frame.center().x() - 7, 0, 14, h);
            painter.setBrush(Theme::orange());
            painter.drawRoundedRect(bar, 4, 4);
            painter.setBrush(Qt::white);
            painter.drawRoundedRect(QRectF(frame.center().x() - 1.5, h / 2 - 10, 3, 20), 1.5, 1.5);
        }
    }

    for (double m : s.markers) {
        const QRectF bar = TG::marker(m, w, s.duration);
        painter.fillRect(bar, Theme::orange());
        Symbols::draw(painter, QStringLiteral("scissors"), QRectF(x(m) - 6, 2, 12, 12), Qt::white);
    }

    const QRectF head(x(s.time) - 1, -4, 2, h + 8);
    painter.fillRect(head.translated(0, 0.5).adjusted(-0.5, 0, 0.5, 0), QColor::fromRgbF(0, 0, 0, 0.4f));
    painter.fillRect(head, Qt::white);
    painter.restore();
}

void Timeline::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.translate(origin());
    paint(painter, state());
}

void Timeline::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) return;
    const State s = state();
    const QPointF at = event->position() - origin();
    m_grip = Grip::scrub;
    // The trailing handle lies above the leading one where they meet.
    if (s.range && TG::trailingHandle(*s.range, s.width, s.duration).contains(at)) {
        m_grip = Grip::trailing;
        m_grab = s.range->end;
    } else if (s.range && TG::leadingHandle(*s.range, s.width, s.duration).contains(at)) {
        m_grip = Grip::leading;
        m_grab = s.range->start;
    }
    m_pressX = event->globalPosition().x();
    follow(event);
}

void Timeline::mouseMoveEvent(QMouseEvent* event)
{
    if (m_grip != Grip::none) follow(event);
}

void Timeline::mouseReleaseEvent(QMouseEvent*)
{
    m_grip = Grip::none;
}

void Timeline::follow(QMouseEvent* event)
{
    const State s = state();
    if (m_grip == Grip::scrub) {
        m_model.pause();
        m_model.seek(TG::scrub(event->position().x() - inset, s.width, s.duration));
        return;
    }
    if (!m_range) return;
    const bool leading = m_grip == Grip::leading;
    const TimeRange range =
        TG::drag(leading, m_grab, event->globalPosition().x() - m_pressX, s.width, s.duration, *m_range);
    setRange(range);
    emit rangeEdited(range);
    m_model.pause();
    m_model.seek(leading ? range.start : range.end);
}
