#pragma once

#include <QPointer>
#include <QPointF>
#include <QWidget>

class QDropEvent;
class WheelController;

// The transparent layer over the wheel that receives the drag: it turns the drag position into
// a point relative to the wheel centre and lets the controller highlight and accept the petal
// under it. Only file URLs are taken, and a drop is always a copy.
class WheelDropView : public QWidget
{
    Q_OBJECT
public:
    explicit WheelDropView(WheelController* controller, QWidget* parent = nullptr);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QPointF fromCentre(QPointF position) const;
    bool accepts(const QDropEvent* event) const;
    // Tracks the position; accepts as a copy over a petal, refuses elsewhere.
    bool answer(QDropEvent* event);

    QPointer<WheelController> m_controller;
};
