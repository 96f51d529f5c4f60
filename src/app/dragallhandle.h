#pragma once

#include <QPixmap>
#include <QStringList>
#include <QWidget>

class QMimeData;

// The strip at the foot of the float shelf that drags every parked file at once.
class DragAllHandle : public QWidget
{
    Q_OBJECT
  public:
    explicit DragAllHandle(QWidget* parent = nullptr);

    QStringList files() const { return m_files; }
    void setFiles(const QStringList& files);

    // What a drag out of the shelf carries: the files as URLs, in order.
    static QMimeData* mimeData(const QStringList& files);
    // The files' icons fanned out, 4 pixels further right and down for each file.
    static QPixmap dragImage(const QStringList& files);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

  private:
    QStringList m_files;
    std::optional<QPoint> m_pressAt;
};
