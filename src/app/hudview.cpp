#include "app/hudview.h"

#include "core/job.h"
#include "toolkit/painting.h"
#include "toolkit/progressbar.h"
#include "toolkit/theme.h"

#include <QDir>
#include <QEasingCurve>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPaintDevice>
#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>
#include <QVariantAnimation>
#include <algorithm>
#include <cmath>

namespace {

constexpr double padX = 14, padY = 11, spacing = 8;
// With two lines of subline above the bar, the rows close up and the bar moves down to make room.
constexpr double tightSpacing = 5, tightPadY = 6;
constexpr double closeSize = 18, iconSize = 16;
constexpr double cornerRadius = 16;

QColor failedRed()
{
    return QColor::fromRgbF(0.75f, 0.15f, 0.1f);
}

QString lastPathComponent(const QString& path)
{
    return QFileInfo(QDir::cleanPath(path)).fileName();
}

QString folderOf(const QString& path)
{
    return QFileInfo(QDir::cleanPath(path)).absolutePath();
}

// A folder as the user knows it: inside the home folder, from "~".
QString shownFolder(const QString& folder)
{
    const QString home = QDir::cleanPath(QDir::homePath());
    if (folder == home) return QStringLiteral("~");
    if (folder.startsWith(home + QLatin1Char('/'))) return QLatin1Char('~') + folder.mid(home.size());
    return folder;
}

void paintClose(QPainter& painter, const QRectF& r)
{
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor::fromRgbF(1, 1, 1, 0.45f));
    painter.drawEllipse(r);
    const QPointF c = r.center();
    const double arm = 2.9;
    painter.setPen(QPen(Theme::inkSoft(), 1.6, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(c + QPointF(-arm, -arm), c + QPointF(arm, arm));
    painter.drawLine(c + QPointF(-arm, arm), c + QPointF(arm, -arm));
}

void paintIcon(QPainter& painter, const QRectF& r, HudState::Icon icon)
{
    const QPointF c = r.center();
    if (icon == HudState::Icon::done) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(Theme::orange());
        painter.drawEllipse(r);
        QPainterPath check;
        check.moveTo(c + QPointF(-3.8, 0.2));
        check.lineTo(c + QPointF(-1.2, 2.9));
        check.lineTo(c + QPointF(3.9, -2.8));
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(Qt::white, 1.9, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.drawPath(check);
    } else if (icon == HudState::Icon::failed) {
        QPolygonF triangle;
        triangle << QPointF(c.x(), r.top() + 1.5) << QPointF(r.right() - 0.75, r.bottom() - 1.5)
                 << QPointF(r.left() + 0.75, r.bottom() - 1.5);
        painter.setPen(QPen(failedRed(), 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.setBrush(failedRed());
        painter.drawPolygon(triangle);
        painter.setPen(QPen(Qt::white, 1.7, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(c.x(), c.y() - 2.2), QPointF(c.x(), c.y() + 1.8));
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::white);
        painter.drawEllipse(QPointF(c.x(), c.y() + 4.4), 0.95, 0.95);
    }
}

} // namespace

HUDView::HUDView(std::shared_ptr<Job> job, QWidget* parent)
    : QWidget(parent), m_job(std::move(job)), m_progressAnimation(new QVariantAnimation(this)),
      m_phaseAnimation(new QVariantAnimation(this))
{
    setFixedSize(panelSize);
    setToolTip(QStringLiteral("Drag to move"));

    m_targetProgress = m_shownProgress = m_job->progress();
    m_progressAnimation->setDuration(200);
    m_progressAnimation->setEasingCurve(QEasingCurve::OutQuad);
    connect(m_progressAnimation, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        m_shownProgress = v.toDouble();
        update();
    });

    // One loop is 0 → 1 → 0, each way eased in and out over 0.8 s.
    m_phaseAnimation->setStartValue(0.0);
    m_phaseAnimation->setEndValue(1.0);
    m_phaseAnimation->setDuration(1600);
    m_phaseAnimation->setLoopCount(-1);
    connect(m_phaseAnimation, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        const double t = v.toDouble();
        m_phase = QEasingCurve(QEasingCurve::InOutQuad).valueForProgress(t < 0.5 ? 2 * t : 2 - 2 * t);
        update();
    });

    const Job* j = m_job.get();
    connect(j, &Job::titleChanged, this, &HUDView::jobChanged);
    connect(j, &Job::detailChanged, this, &HUDView::jobChanged);
    connect(j, &Job::progressChanged, this, &HUDView::jobChanged);
    connect(j, &Job::stateChanged, this, &HUDView::jobChanged);
    connect(j, &Job::remainingChanged, this, &HUDView::jobChanged);
    jobChanged();
}

HUDView::~HUDView() = default;

QString HUDView::timeLeft(double s)
{
    if (!(s >= 5)) return QStringLiteral("Almost done");
    if (s < 20) return QStringLiteral("About %1 sec left").arg(std::llround(s));
    if (s < 60) return QStringLiteral("About %1 sec left").arg(5 * std::llround(s / 5));
    if (s < 3600) {
        const long long m = std::llround(s / 60);
        return m < 2 ? QStringLiteral("About a minute left") : QStringLiteral("About %1 min left").arg(m);
    }
    return QStringLiteral("About %1 hr left").arg(QString::asprintf("%.1f", s / 3600));
}

QString HUDView::headline(const Job& job)
{
    switch (job.state().phase) {
    case Job::Phase::cancelled:
        return QStringLiteral("Cancelled");
    case Job::Phase::failed:
        // A toast's title already says what failed.
        return job.showsProgress() ? QStringLiteral("Couldn’t finish") : job.title();
    case Job::Phase::running:
    case Job::Phase::done:
        break;
    }
    return job.title();
}

QString HUDView::subline(const Job& job)
{
    const Job::State state = job.state();
    // Of several files, the count saved stays in view before the failure, which names its file.
    if (state.phase == Job::Phase::failed)
        return job.sources().size() > 1 && !job.detail().isEmpty()
                   ? job.detail() + QStringLiteral(". ") + state.message
                   : state.message;
    QString line = job.detail();
    if (state.phase == Job::Phase::done && job.results().size() == 1) {
        const QString result = job.results().first();
        line = QStringLiteral("Saved ") + lastPathComponent(result);
        // A result that went elsewhere than beside its file says where, or it is not found.
        const QString folder = folderOf(result);
        const QStringList sources = job.sources();
        if (!sources.isEmpty() && std::none_of(sources.cbegin(), sources.cend(), [&](const QString& source) {
                return folderOf(source) == folder;
            }))
            line += QStringLiteral(" in ") + shownFolder(folder);
    }
    // What the work had to say beside a result it saved all the same ("The file is cut short").
    // With nothing saved the notes say it all: each names its file.
    if (state.phase == Job::Phase::done && !job.notes().isEmpty()) {
        const QString notes = job.notes().join(QStringLiteral(". "));
        line = job.results().isEmpty() ? notes : line + QStringLiteral(". ") + notes;
    }
    return line;
}

HudState HUDView::state(const Job& job)
{
    const Job::Phase phase = job.state().phase;
    const bool running = phase == Job::Phase::running;
    HudState s;
    s.headline = headline(job);
    s.subline = subline(job);
    s.sublineLines = running ? 1 : finishedLines;
    if (running && job.remaining()) s.timeLeft = timeLeft(*job.remaining());
    s.icon = phase == Job::Phase::done     ? HudState::Icon::done
             : phase == Job::Phase::failed ? HudState::Icon::failed
                                           : HudState::Icon::none;
    s.showsBar = job.showsProgress() && (running || phase == Job::Phase::done);
    s.progress = job.progress();
    return s;
}

QStringList HUDView::sublines(const HudState& state, const QPaintDevice* device)
{
    const QFont font = Painting::font(device, 11.5, QFont::Normal);
    double width = panelSize.width() - 2 * padX;
    if (!state.timeLeft.isEmpty())
        width -= QFontMetricsF(Painting::font(device, 11.5, QFont::Medium), const_cast<QPaintDevice*>(device))
                     .horizontalAdvance(state.timeLeft) +
                 spacing;
    return Painting::elidedMiddle(state.subline, font, std::max(0.0, width), std::max(1, state.sublineLines),
                                  device);
}

QString HUDView::shownHeadline(const HudState& state, const QRectF& rect, const QPaintDevice* device)
{
    const QFontMetricsF metrics(Painting::font(device, 13, QFont::DemiBold),
                                const_cast<QPaintDevice*>(device));
    const double left = closeButtonRect(rect).right() + spacing;
    const double right =
        state.icon != HudState::Icon::none ? iconRect(rect).left() - spacing : rect.right() - padX;
    return metrics.elidedText(state.headline, Qt::ElideRight, std::max(0.0, right - left));
}

QSize HUDView::sizeFor(const HudState& state, const QPaintDevice* device)
{
    const qsizetype lines = sublines(state, device).size();
    if (lines <= 2) return panelSize;
    const QFontMetricsF metrics(Painting::font(device, 11.5, QFont::Normal),
                                const_cast<QPaintDevice*>(device));
    return {panelSize.width(),
            panelSize.height() + int(std::ceil(double(lines - 2) * metrics.lineSpacing()))};
}

QRectF HUDView::closeButtonRect(const QRectF& rect)
{
    return {rect.left() + padX, rect.top() + padY, closeSize, closeSize};
}

QRectF HUDView::iconRect(const QRectF& rect)
{
    const double centreY = rect.top() + padY + closeSize / 2;
    return {rect.right() - padX - iconSize, centreY - iconSize / 2, iconSize, iconSize};
}

QRectF HUDView::barRect(const QRectF& rect, int sublineLines)
{
    const double bottom = sublineLines > 1 ? tightPadY : padY;
    return {rect.left() + padX, rect.bottom() - bottom - ProgressBar::height, rect.width() - 2 * padX,
            ProgressBar::height};
}

QPainterPath HUDView::outline(const QRectF& rect)
{
    QPainterPath card;
    card.addRoundedRect(rect, cornerRadius, cornerRadius);
    return card;
}

void HUDView::paint(QPainter& painter, const QRectF& rect, const HudState& state)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    const QPainterPath card = outline(rect);
    // A light translucent fill stands in for the blurred backdrop, under the warm wash.
    painter.fillPath(card, QColor::fromRgbF(0.97f, 0.96f, 0.95f, 0.72f));
    painter.setOpacity(0.9);
    painter.fillPath(card, Theme::wash(rect));
    painter.setOpacity(1);
    painter.setClipPath(card);

    const QRectF close = closeButtonRect(rect);
    paintClose(painter, close);

    const QRectF icon = iconRect(rect);
    const bool hasIcon = state.icon != HudState::Icon::none;
    if (hasIcon) paintIcon(painter, icon, state.icon);

    const double left = rect.left() + padX, right = rect.right() - padX;
    const QPaintDevice* device = painter.device();

    const QFont headlineFont = Painting::font(painter, 13, QFont::DemiBold);
    const QFontMetricsF headlineMetrics(headlineFont, const_cast<QPaintDevice*>(device));
    const double headlineBaseline =
        close.center().y() + (headlineMetrics.ascent() - headlineMetrics.descent()) / 2;
    painter.setFont(headlineFont);
    painter.setPen(Theme::ink());
    painter.drawText(QPointF(close.right() + spacing, headlineBaseline), shownHeadline(state, rect, device));

    const QFont sublineFont = Painting::font(painter, 11.5, QFont::Normal);
    const QFont timeFont = Painting::font(painter, 11.5, QFont::Medium);
    const QFontMetricsF sublineMetrics(sublineFont, const_cast<QPaintDevice*>(device));
    const QFontMetricsF timeMetrics(timeFont, const_cast<QPaintDevice*>(device));
    const double timeWidth = state.timeLeft.isEmpty() ? 0 : timeMetrics.horizontalAdvance(state.timeLeft);
    const QStringList sublines = HUDView::sublines(state, device);
    const int lines = int(sublines.size());
    const double rowTop = close.bottom() + (lines > 1 && state.showsBar ? tightSpacing : spacing);
    const double baseline = rowTop + std::max(sublineMetrics.ascent(), timeMetrics.ascent());

    if (!state.timeLeft.isEmpty()) {
        painter.setFont(timeFont);
        painter.setPen(Theme::ink());
        painter.drawText(QPointF(right - timeWidth, baseline), state.timeLeft);
    }
    painter.setFont(sublineFont);
    painter.setPen(Theme::inkSoft());
    for (qsizetype i = 0; i < sublines.size(); ++i)
        painter.drawText(QPointF(left, baseline + double(i) * sublineMetrics.lineSpacing()), sublines[i]);

    if (state.showsBar) ProgressBar::paint(painter, barRect(rect, lines), state.progress, state.phase);

    painter.setClipping(false);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor::fromRgbF(1, 1, 1, 0.5f), 0.75));
    const double inset = 0.375; // keeps the whole stroke on the card
    painter.drawRoundedRect(rect.adjusted(inset, inset, -inset, -inset), cornerRadius - inset,
                            cornerRadius - inset);
    painter.restore();
}

void HUDView::jobChanged()
{
    const std::optional<double> progress = m_job->progress();
    if (progress != m_targetProgress) {
        m_progressAnimation->stop();
        if (progress && m_shownProgress) {
            m_progressAnimation->setStartValue(*m_shownProgress);
            m_progressAnimation->setEndValue(*progress);
            m_progressAnimation->start();
        } else {
            m_shownProgress = progress;
        }
        m_targetProgress = progress;
    }

    const HudState s = state(*m_job);
    if (const QSize size = sizeFor(s, this); size != this->size()) {
        setFixedSize(size);
        emit resized(size);
    }
    const bool indeterminate = s.showsBar && !s.progress;
    if (indeterminate && m_phaseAnimation->state() != QAbstractAnimation::Running)
        m_phaseAnimation->start();
    else if (!indeterminate)
        m_phaseAnimation->stop();
    update();
}

void HUDView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    HudState s = state(*m_job);
    s.progress = m_shownProgress;
    s.phase = m_phase;
    paint(painter, rect(), s);
}

void HUDView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !outline(QRectF(rect())).contains(event->position())) {
        event->ignore();
        return;
    }
    m_pressAt = event->globalPosition();
    m_pressedClose = closeButtonRect(rect()).contains(event->position());
    m_dragging = false;
}

void HUDView::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_pressAt || m_pressedClose) return;
    const QPointF delta = event->globalPosition() - *m_pressAt;
    if (!m_dragging && std::hypot(delta.x(), delta.y()) >= 2) m_dragging = true;
    if (m_dragging && m_onMove) m_onMove(MovePhase::changed);
}

void HUDView::mouseReleaseEvent(QMouseEvent* event)
{
    if (!m_pressAt) return;
    const bool closeClicked = m_pressedClose && closeButtonRect(rect()).contains(event->position());
    const bool dragged = m_dragging;
    m_pressAt.reset();
    m_pressedClose = m_dragging = false;
    // The action may dismiss the panel and so delete this view: nothing after it.
    if (closeClicked) {
        if (m_onClose) m_onClose();
    } else if (dragged && m_onMove) {
        m_onMove(MovePhase::ended);
    }
}
