// A window that takes file drops, as a file manager's does, for the X11 tests to drop on:
//   droptarget
// It covers the top-left 200 × 200 pixels of the screen and prints "ready" once it is on screen.
// It accepts every drag that carries URLs, with a copy, and prints "dropped URI URI…" (the
// dropped URLs in order, separated by spaces) for each drop; "dropped" alone when the drop
// carried none.

#include "cornerwindow.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>
#include <cstdio>

namespace {

class Target : public CornerWindow
{
  protected:
    void dragEnterEvent(QDragEnterEvent* event) override
    {
        if (!event->mimeData()->hasUrls()) return;
        event->setDropAction(Qt::CopyAction);
        event->accept();
    }

    void dragMoveEvent(QDragMoveEvent* event) override
    {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    }

    void dropEvent(QDropEvent* event) override
    {
        event->setDropAction(Qt::CopyAction);
        event->accept();
        QByteArray line("dropped");
        for (const QUrl& url : event->mimeData()->urls())
            line += ' ' + url.toEncoded();
        std::puts(line.constData());
        std::fflush(stdout);
    }
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    Target target;
    target.show();
    return app.exec();
}
