#pragma once

#include <QPixmap>
#include <QPoint>
#include <QStringList>
#include <optional>

class QMimeData;
class QMouseEvent;
class QWidget;

// A drag of files out of a widget (a shelf row, the shelf's drag-all strip, the welcome
// window's sample): armed by a left press, started once the pointer has moved the platform's
// drag distance with the button held. The widget hands its mouse events over.
class FileDrag
{
  public:
    // What the drag carries: the files as URLs, in order.
    static QMimeData* mimeData(const QStringList& files);
    // The files' icons fanned out, 4 pixels further right and down for each file, 8 at most.
    static QPixmap image(const QStringList& files);

    // A left press arms the drag.
    void press(const QMouseEvent& event);
    // Once the armed press has moved far enough, disarms and drags `files` out of `source`,
    // offering `actions` with a copy preferred, and returns true after the drop. Returns false
    // at once otherwise.
    bool move(QWidget* source, const QMouseEvent& event, const QStringList& files, Qt::DropActions actions);
    // Disarms; returns whether a press was armed, so that a release without a drag is a click.
    bool release();

  private:
    std::optional<QPoint> m_pressAt;
};
