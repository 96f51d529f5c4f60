#pragma once

#include "toolkit/filedrag.h"

#include <QImage>
#include <QWidget>

// A file shown as its picture with its name under it, 78 points wide, that the user can drag
// out: the drag carries the file itself, as dragging it from the file manager would.
class DraggableFile : public QWidget
{
    Q_OBJECT
  public:
    explicit DraggableFile(const QString& path, QWidget* parent = nullptr);

    QString path() const { return m_path; }
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    QString m_path;
    // The file decoded as a picture; the file's icon when it is none.
    QImage m_image;
    FileDrag m_drag;
};
