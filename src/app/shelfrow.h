#pragma once

#include "app/shelfpainter.h"
#include "toolkit/filedrag.h"

#include <QWidget>
#include <functional>

// One parked file on the float shelf: its picture, name and size, a remove button while the
// pointer is over it, and a drag of the file out of the shelf.
class ShelfRow : public QWidget
{
    Q_OBJECT
  public:
    explicit ShelfRow(const QString& path, QWidget* parent = nullptr);

    QString path() const { return m_path; }
    void setOnRemove(std::function<void()> action) { m_onRemove = std::move(action); }
    // What the row draws now.
    ShelfPainter::Row look() const { return m_look; }
    bool hasThumbnail() const { return m_hasThumbnail; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    void setHover(bool hover);

    QString m_path;
    ShelfPainter::Row m_look;
    bool m_hasThumbnail = false;
    std::function<void()> m_onRemove;
    FileDrag m_drag;
};
