// A window that starts a drag when the pointer moves away from a left press, for the X11 tests
// to drive with xdotool.
//   dragsource PATH…   drags the files
//   dragsource --text  drags plain text only
// It covers the top-left 200 × 200 pixels of the screen and prints "ready" once it is on screen.
// Like a file manager's window it takes part in drags over it (it is drop-aware) and offers a
// copy or a move, preferring the move; after each drag it prints how the drag ended:
// "dropped copy", "dropped move", "dropped link" or "dropped none". Like a file manager or a
// browser it shows an icon of what is dragged under the pointer, in a window of its own: a
// 96 × 96 blue square (0, 70, 255) centred on the pointer.

#include "cornerwindow.h"

#include <QApplication>
#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>
#include <QPixmap>
#include <QUrl>
#include <QWidget>
#include <cstdio>
#include <optional>

namespace {

class Source : public CornerWindow
{
  public:
    explicit Source(const QStringList& args) : m_args(args) {}

  protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton) m_pressedAt = event->globalPosition().toPoint();
    }

    void mouseReleaseEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton) m_pressedAt.reset();
    }

    void mouseMoveEvent(QMouseEvent* event) override
    {
        if (!m_pressedAt || !(event->buttons() & Qt::LeftButton)) return;
        if ((event->globalPosition().toPoint() - *m_pressedAt).manhattanLength() <
            QApplication::startDragDistance())
            return;
        m_pressedAt.reset();
        drag();
    }

  private:
    void drag()
    {
        auto* data = new QMimeData;
        if (m_args == QStringList{QStringLiteral("--text")}) {
            data->setText(QStringLiteral("just some words"));
        } else {
            QList<QUrl> urls;
            for (const QString& path : m_args)
                urls << QUrl::fromLocalFile(path);
            data->setUrls(urls);
        }
        auto* drag = new QDrag(this);
        drag->setMimeData(data);
        QPixmap icon(96, 96);
        icon.fill(QColor(0, 70, 255));
        drag->setPixmap(icon);
        drag->setHotSpot(QPoint(48, 48));
        const Qt::DropAction action = drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::MoveAction);
        const char* name = action == Qt::CopyAction   ? "copy"
                           : action == Qt::MoveAction ? "move"
                           : action == Qt::LinkAction ? "link"
                                                      : "none";
        std::printf("dropped %s\n", name);
        std::fflush(stdout);
    }

    QStringList m_args;
    std::optional<QPoint> m_pressedAt;
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    Source source(app.arguments().mid(1));
    source.show();
    return app.exec();
}
