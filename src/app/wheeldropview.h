#pragma once

#include <QPoint>
#include <QPointF>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <optional>

class QDropEvent;

// The transparent layer over the wheel that receives the drag: it turns the drag position into
// a point relative to the wheel centre, lets its owner highlight the petal under it and hands a
// drop over. Only file URLs are taken, and a drop is always a copy.
class WheelDropView : public QWidget
{
    Q_OBJECT
  public:
    // Highlights the petal under a point relative to the centre (none when the drag left);
    // true when a petal lies there.
    using Track = std::function<bool(std::optional<QPointF>)>;
    // Takes a drop of `files` at a global point; false refuses it.
    using Drop = std::function<bool(const QStringList& files, QPoint globalPoint)>;

    WheelDropView(Track track, Drop drop, QWidget* parent = nullptr);

  protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    QPointF fromCentre(QPointF position) const;
    // Tracks the position; accepts as a copy over a petal when the source lets the files be
    // copied, refuses elsewhere.
    bool answer(QDropEvent* event);

    Track m_track;
    Drop m_drop;
};
