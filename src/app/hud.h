#pragma once

#include "app/hudview.h"
#include "core/job.h"
#include "core/screenarea.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QRectF>
#include <QUuid>
#include <memory>
#include <optional>
#include <utility>

class QPropertyAnimation;
class QTimer;

// The floating progress panels, one per job. Panels never take focus, stack near the drop
// point (or below the place the user last dragged one to) and close a while after their job
// ends. Coordinates are global and y-down; a panel's origin is its top-left corner.
class HUD : public QObject
{
    Q_OBJECT
  public:
    using Screen = ScreenArea;

    static constexpr double stackStep = 82; // distance between stacked panels
    static constexpr double inset = 12;     // kept free inside the available area

    explicit HUD(QObject* parent = nullptr);
    ~HUD() override;
    // The application's panels; created on first use, owned by the application object.
    static HUD& shared();

    // Opens the job's panel near `near` (the pointer when none) and closes it after the job
    // ends: 1.6 s after done, 0.6 s after cancelled, 7 s after failed.
    void show(const std::shared_ptr<Job>& job, std::optional<QPointF> near = std::nullopt);
    // Fades the job's panel out and forgets it; the other panels stay where they are.
    void dismiss(const QUuid& id);
    // A drag of `panel`: follows the pointer, saves the place when the drag ends.
    void move(QWidget* panel, HUDView::MovePhase phase);

    // The origin of a new panel with stacking index `index`, for the screens of this session.
    QPointF origin(std::optional<QPointF> near, int index) const;
    // The same arithmetic over explicit inputs; `screens` lists the primary screen first.
    static QPointF origin(std::optional<QPointF> near, int index, std::optional<QPointF> saved,
                          const QList<Screen>& screens, const QPointF& cursor);

    QWidget* panel(const QUuid& id) const;
    QList<QUuid> order() const { return m_order; }
    // Milliseconds after which the job's panel is set to close, or none while nothing is planned.
    std::optional<int> pendingDismissal(const QUuid& id) const;

  private:
    struct Entry
    {
        QPointer<QWidget> window;
        std::weak_ptr<Job> job;
        QTimer* dismissal = nullptr;
        QPointer<QPropertyAnimation> fade;
        QMetaObject::Connection subscription;
    };

    void scheduleDismissal(const QUuid& id);

    QHash<QUuid, Entry> m_panels;
    QList<QUuid> m_order;
    std::optional<std::pair<QPointF, QPointF>> m_dragStart; // pointer and panel origin at the start
};
