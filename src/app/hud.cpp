#include "app/hud.h"

#include "core/hudorigin.h"
#include "toolkit/floatingpanel.h"
#include "toolkit/screens.h"

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QPropertyAnimation>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace {

constexpr double savedSlack = 20; // a saved place this far off every screen still counts
constexpr double dropGap = 40;    // between the drop point and the first panel's lower edge
constexpr int fadeInMs = 150, fadeOutMs = 200;

int dismissDelay(const Job& job)
{
    switch (job.state().phase) {
    case Job::Phase::done:
        // A note beside the result stays as long as a failure's message, to be read.
        return job.notes().isEmpty() ? 1600 : 7000;
    case Job::Phase::cancelled:
        return 600;
    case Job::Phase::failed:
        return 7000;
    case Job::Phase::running:
        break;
    }
    return 0;
}

QRectF enlarged(const QRectF& r)
{
    return r.adjusted(-savedSlack, -savedSlack, savedSlack, savedSlack);
}

QPropertyAnimation* fade(QWidget* window, double to, int ms)
{
    auto* animation = new QPropertyAnimation(window, "windowOpacity", window);
    animation->setStartValue(window->windowOpacity());
    animation->setEndValue(to);
    animation->setDuration(ms);
    animation->start(QAbstractAnimation::DeleteWhenStopped);
    return animation;
}

} // namespace

HUD::HUD(QObject* parent) : QObject(parent) {}

HUD::~HUD()
{
    // The shared HUD goes with the application object, after its widgets are torn down: the
    // windows are left to the ending process then.
    if (QCoreApplication::closingDown()) return;
    for (const Entry& entry : std::as_const(m_panels))
        delete entry.window.data();
}

HUD& HUD::shared()
{
    static QPointer<HUD> instance;
    if (!instance) instance = new HUD(QCoreApplication::instance());
    return *instance;
}

void HUD::show(const std::shared_ptr<Job>& job, std::optional<QPointF> near)
{
    if (!job || m_panels.contains(job->id())) return;
    const QUuid id = job->id();

    auto* window = new FloatingPanel(HUDView::panelSize, FloatingPanel::Kind::panel);
    window->setShape(HUDView::outline(QRectF(window->rect())));

    auto* view = new HUDView(job, window);
    view->move(0, 0);
    QPointer<HUD> hud(this);
    QPointer<QWidget> weakWindow(window);
    std::weak_ptr<Job> weakJob = job;
    view->setOnClose([hud, weakJob, id] {
        const std::shared_ptr<Job> j = weakJob.lock();
        if (j && j->isRunning())
            j->cancel(); // the runner ends the job, which then closes the panel
        else if (hud)
            hud->dismiss(id);
    });
    view->setOnMove([hud, weakWindow](HUDView::MovePhase phase) {
        if (hud && weakWindow) hud->move(weakWindow, phase);
    });
    // A finished panel grows downwards to say all it has to say, kept inside its screen.
    const auto fit = [window](QSize size) {
        if (size == window->size()) return;
        window->setFixedSize(size);
        window->setShape(HUDView::outline(QRectF(window->rect())));
        for (const Screen& screen : Screens::current()) {
            if (!screen.frame.contains(window->geometry().center())) continue;
            const int bottom = qRound(screen.available.bottom() - inset);
            if (window->geometry().bottom() > bottom) window->move(window->x(), bottom - size.height());
            break;
        }
    };
    connect(view, &HUDView::resized, window, fit);

    const QPointF at = origin(near, int(m_order.size()));
    window->move(qRound(at.x()), qRound(at.y()));
    window->setWindowOpacity(0);
    window->show();
    window->raise();
    fit(view->size()); // a job that has already ended, such as a toast

    Entry entry;
    entry.window = window;
    entry.job = job;
    entry.fade = fade(window, 1, fadeInMs);
    entry.dismissal = new QTimer(window);
    entry.dismissal->setSingleShot(true);
    connect(entry.dismissal, &QTimer::timeout, this, [this, id] { dismiss(id); });
    entry.subscription = connect(job.get(), &Job::stateChanged, this, [this, id] { scheduleDismissal(id); });
    m_panels.insert(id, entry);
    m_order.append(id);
    // A job that has already ended, such as a confirmation toast, is planned at once.
    scheduleDismissal(id);
}

void HUD::scheduleDismissal(const QUuid& id)
{
    const auto it = m_panels.constFind(id);
    if (it == m_panels.constEnd() || !it->window) return;
    const std::shared_ptr<Job> job = it->job.lock();
    if (!job || job->isRunning()) return;
    it->dismissal->start(dismissDelay(*job));
}

void HUD::dismiss(const QUuid& id)
{
    const auto it = m_panels.find(id);
    if (it == m_panels.end()) return;
    const Entry entry = *it;
    m_panels.erase(it);
    m_order.removeAll(id);
    disconnect(entry.subscription);
    QWidget* window = entry.window;
    if (!window) return;
    entry.dismissal->stop();
    if (entry.fade) entry.fade->stop();
    QPropertyAnimation* out = fade(window, 0, fadeOutMs);
    connect(out, &QAbstractAnimation::finished, window, [window] {
        window->hide();
        window->deleteLater();
    });
}

void HUD::move(QWidget* panel, HUDView::MovePhase phase)
{
    switch (phase) {
    case HUDView::MovePhase::changed: {
        const QPointF mouse = QCursor::pos();
        if (!m_dragStart) m_dragStart = std::pair(mouse, QPointF(panel->pos()));
        const QPointF to = m_dragStart->second + (mouse - m_dragStart->first);
        panel->move(qRound(to.x()), qRound(to.y()));
        break;
    }
    case HUDView::MovePhase::ended:
        m_dragStart.reset();
        HUDOrigin::save(panel->pos());
        break;
    case HUDView::MovePhase::reset:
        HUDOrigin::clear();
        break;
    }
}

QPointF HUD::origin(std::optional<QPointF> near, int index) const
{
    const QList<Screen> screens = Screens::current();
    return origin(near, index, HUDOrigin::saved(screens), screens, QCursor::pos());
}

QPointF HUD::origin(std::optional<QPointF> near, int index, std::optional<QPointF> saved,
                    const QList<Screen>& screens, const QPointF& cursor)
{
    const double w = HUDView::panelSize.width(), h = HUDView::panelSize.height();
    if (saved) {
        QRectF f = screens.isEmpty() ? QRectF() : screens.first().available;
        for (const Screen& s : screens) {
            if (enlarged(s.available).contains(*saved)) {
                f = s.available;
                break;
            }
        }
        // Later panels go downwards from the saved place; every one stays fully inside.
        const double x = std::min(std::max(saved->x(), f.left()), f.right() - w);
        const double y =
            std::max(std::min(saved->y() + stackStep * index, f.bottom() - h - inset), f.top() + inset);
        return {x, y};
    }

    const QPointF p = near.value_or(cursor);
    QRectF f = screens.isEmpty() ? QRectF(0, 0, 1440, 900) : screens.first().available;
    for (const Screen& s : screens) {
        if (s.frame.contains(p)) {
            f = s.available;
            break;
        }
    }
    // The first panel is centred above the point; later ones stack upwards. The top limit
    // is applied last, so it wins on a screen too short for the stack.
    const double x = std::min(std::max(p.x() - w / 2, f.left() + inset), f.right() - w - inset);
    const double y =
        std::max(std::min(p.y() - dropGap - h - stackStep * index, f.bottom() - h - inset), f.top() + inset);
    return {x, y};
}

QWidget* HUD::panel(const QUuid& id) const
{
    const auto it = m_panels.constFind(id);
    return it == m_panels.constEnd() ? nullptr : it->window.data();
}

std::optional<int> HUD::pendingDismissal(const QUuid& id) const
{
    const auto it = m_panels.constFind(id);
    if (it == m_panels.constEnd() || !it->window || !it->dismissal->isActive()) return std::nullopt;
    return it->dismissal->interval();
}
