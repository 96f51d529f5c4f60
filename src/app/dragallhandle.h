#pragma once

#include "toolkit/filedrag.h"

#include <QStringList>
#include <QWidget>

// The strip at the foot of the float shelf that drags every parked file at once.
class DragAllHandle : public QWidget
{
    Q_OBJECT
  public:
    explicit DragAllHandle(QWidget* parent = nullptr);

    QStringList files() const { return m_files; }
    void setFiles(const QStringList& files);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

  private:
    QStringList m_files;
    FileDrag m_drag;
};
