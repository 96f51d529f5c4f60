#pragma once

#include "core/wheelitem.h"
#include "core/wheelmode.h"

#include <QObject>
#include <QPoint>
#include <QPointF>
#include <QRectF>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

class QPropertyAnimation;
class QTimer;
class WheelModel;
class WheelPanel;
class WheelView;

// Puts the wheel under the pointer while files are dragged, follows the drag over the petals
// and hands a drop on a petal to the drop handler. Main thread only.
class WheelController : public QObject
{
    Q_OBJECT
  public:
    using DropHandler =
        std::function<void(const WheelItem& item, const QStringList& files, QPoint dropPoint)>;

    // How far the wheel's centre stays inside the screen's available area: the petals stay on
    // screen, while the transparent corners of the 320 × 320 window may stick out 20.08.
    static constexpr double edgeMargin = 139.92;

    explicit WheelController(QObject* parent = nullptr);
    ~WheelController() override;

    WheelModel& model() const { return *m_model; }
    WheelPanel* panel() const { return m_panel.get(); }
    bool isVisible() const { return m_visible; }
    bool isDropping() const { return m_dropping; }
    QPointF anchor() const { return m_anchor; }
    QStringList files() const { return m_files; }

    // Shows the wheel of `mode` for `files` centred at the global pointer position, or, when
    // it is already up, replaces its petals where it stands.
    void show(WheelMode mode, const QStringList& files, QPoint globalPos);
    // Takes the wheel off screen, with a 0.12 s fade when animated. Nothing when hidden.
    void hide(bool animated);
    // Hides 0.35 s from now unless shown again or dropping meanwhile.
    void hideSoon();

    // Highlights the petal under `point` (relative to the wheel centre, y downward; none when
    // the drag left); ticks on a newly highlighted petal. True when a petal lies under it;
    // never while the wheel is hidden.
    bool track(std::optional<QPointF> point);
    // Accepts a drop on the highlighted petal: hides the wheel and, on the next turn of the
    // event loop, hands the item, the files (the dragged ones when `files` is empty) and the
    // drop point to the drop handler. False refuses the drop, always while the wheel is hidden.
    bool drop(const QStringList& files, QPoint dropPoint);

    void setOnDrop(DropHandler handler) { m_onDrop = std::move(handler); }

    // The centre text for the dragged files: "3 items", "Folder", a size, or empty.
    static QString restingText(const QStringList& files);
    // `point` moved at least edgeMargin inside `available`; on an area narrower than twice the
    // margin the centre lands edgeMargin from its right (bottom) side.
    static QPointF clamp(QPointF point, const QRectF& available);

  private:
    // clamp() within the available area of the screen under the point; unchanged without screens.
    static QPointF clampToScreen(QPointF point);
    // Whether the wheel's window takes the pointer and drops, or lets them through.
    void takeInput(bool on);

    std::unique_ptr<WheelModel> m_model;
    QStringList m_files;
    bool m_visible = false;
    bool m_dropping = false;
    std::unique_ptr<WheelPanel> m_panel;
    WheelView* m_view = nullptr;
    QPointF m_anchor;
    QTimer* m_hideTimer;
    QPropertyAnimation* m_fade;
    DropHandler m_onDrop;
};
