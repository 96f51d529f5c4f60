#pragma once

#include <QPainterPath>
#include <QSize>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

class Job;
class QPainter;
class QVariantAnimation;

// Everything a progress panel draws; the drawing is a function of this alone.
struct HudState
{
    enum class Icon { none, done, failed };

    QString headline;
    QString subline;
    int sublineLines = 1; // most lines the subline may wrap to before it is cut in the middle
    QString timeLeft;     // empty when not shown
    Icon icon = Icon::none;
    bool showsBar = false;
    std::optional<double> progress; // none draws the indeterminate bar
    double phase = 0;               // offset of the indeterminate segment, 0…1
};

// The content of one floating progress panel: close button, headline, state icon, subline with
// the time left, and the bar. Drags anywhere else on the card are reported through the move action.
class HUDView : public QWidget
{
    Q_OBJECT
  public:
    enum class MovePhase { changed, ended, reset };
    static constexpr QSize panelSize{300, 74};
    // Most lines a finished panel's subline wraps to; past two, the panel grows to hold them.
    static constexpr int finishedLines = 10;

    explicit HUDView(std::shared_ptr<Job> job, QWidget* parent = nullptr);
    ~HUDView() override;

    std::shared_ptr<Job> job() const { return m_job; }
    void setOnClose(std::function<void()> action) { m_onClose = std::move(action); }
    void setOnMove(std::function<void(MovePhase)> action) { m_onMove = std::move(action); }

    // Seconds left as the panel says it ("Almost done", "About 12 sec left", …).
    static QString timeLeft(double seconds);
    static QString headline(const Job& job);
    static QString subline(const Job& job);
    // The job's state as drawn, with its progress unanimated and the segment at rest.
    static HudState state(const Job& job);

    // The headline of `state` as drawn in `rect` on `device`, cut short with an ellipsis when it
    // does not fit beside the close button and the state icon.
    static QString shownHeadline(const HudState& state, const QRectF& rect, const QPaintDevice* device);
    // The subline of `state` as drawn on `device` across a panel of panelSize's width.
    static QStringList sublines(const HudState& state, const QPaintDevice* device);
    // The card's size for `state`: panelSize, a line taller for each subline line past two.
    static QSize sizeFor(const HudState& state, const QPaintDevice* device);

    // The card's rounded outline in `rect`: what is drawn, and where a press counts.
    static QPainterPath outline(const QRectF& rect);
    // Draws the card filling `rect` (normally panelSize).
    static void paint(QPainter& painter, const QRectF& rect, const HudState& state);
    static QRectF closeButtonRect(const QRectF& rect);
    static QRectF iconRect(const QRectF& rect);
    // The bar sits lower under a subline of two lines.
    static QRectF barRect(const QRectF& rect, int sublineLines = 1);

  signals:
    // The card has taken a new size for its content; its window should follow.
    void resized(QSize size);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    void jobChanged();

    std::shared_ptr<Job> m_job;
    std::function<void()> m_onClose;
    std::function<void(MovePhase)> m_onMove;

    std::optional<double> m_targetProgress; // the job's value
    std::optional<double> m_shownProgress;  // what the bar draws while easing towards it
    QVariantAnimation* m_progressAnimation;
    QVariantAnimation* m_phaseAnimation;
    double m_phase = 0;

    std::optional<QPointF> m_pressAt; // global position of the current press
    bool m_pressedClose = false;
    bool m_dragging = false;
};
