#include "toolkit/loadingview.h"

#include "toolkit/painting.h"
#include "toolkit/theme.h"

#include <QPainter>
#include <QTimer>
#include <cmath>

namespace {

constexpr int spokes = 8;
constexpr double spinner = 16;

} // namespace

LoadingView::LoadingView(QWidget* parent) : QWidget(parent), m_timer(new QTimer(this))
{
    m_timer->setInterval(80);
    connect(m_timer, &QTimer::timeout, this, [this] {
        m_phase = std::fmod(m_phase + 1.0 / spokes, 1.0);
        update();
    });
}

void LoadingView::setError(const std::optional<QString>& error)
{
    if (error == m_error) return;
    m_error = error;
    if (m_error) m_timer->stop();
    update();
}

void LoadingView::paint(QPainter& painter, QSizeF size, const std::optional<QString>& error, double phase)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF area(QPointF(), size);
    if (error) {
        painter.setFont(Painting::font(painter, 12, QFont::Normal));
        painter.setPen(Theme::inkSoft());
        painter.drawText(area.adjusted(20, 20, -20, -20), Qt::AlignCenter | Qt::TextWordWrap, *error);
    } else {
        // Spokes fading behind the leading one, which steps round with `phase`.
        const int lead = int(std::floor(phase * spokes)) % spokes;
        painter.translate(area.center());
        for (int i = 0; i < spokes; ++i) {
            const int behind = (lead - i + spokes) % spokes;
            QColor c = Theme::inkSoft();
            c.setAlphaF(float(0.9 - 0.7 * behind / (spokes - 1)));
            painter.setPen(QPen(c, 1.8, Qt::SolidLine, Qt::RoundCap));
            const double a = 2 * M_PI * i / spokes;
            painter.drawLine(QPointF(std::cos(a), std::sin(a)) * spinner * 0.25,
                             QPointF(std::cos(a), std::sin(a)) * spinner * 0.5);
        }
    }
    painter.restore();
}

void LoadingView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paint(painter, size(), m_error, m_phase);
}

void LoadingView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_error) m_timer->start();
}

void LoadingView::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    m_timer->stop();
}
