// A window that starts a drag on every left press, for the X11 tests to drive with xdotool.
//   dragsource PATH…   drags the files
//   dragsource --text  drags plain text only
// It covers the top-left 200 × 200 pixels of the screen and prints "ready" once it is on screen.
// Like a file manager it offers a copy or a move, preferring the move; after each drag it prints
// how the drag ended: "dropped copy", "dropped move", "dropped link" or "dropped none".

#include <QApplication>
#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>
#include <QWidget>
#include <cstdio>

namespace {

class Source : public QWidget
{
public:
    explicit Source(const QStringList& args)
        : m_args(args)
    {
        setWindowFlags(Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint);
        setGeometry(0, 0, 200, 200);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        if (m_shown) return;
        m_shown = true;
        std::puts("ready");
        std::fflush(stdout);
    }

    void mousePressEvent(QMouseEvent* event) override
    {
        if (event->button() != Qt::LeftButton) return;
        auto* data = new QMimeData;
        if (m_args == QStringList{QStringLiteral("--text")}) {
            data->setText(QStringLiteral("just some words"));
        } else {
            QList<QUrl> urls;
            for (const QString& path : m_args) urls << QUrl::fromLocalFile(path);
            data->setUrls(urls);
        }
        auto* drag = new QDrag(this);
        drag->setMimeData(data);
        const Qt::DropAction action = drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::MoveAction);
        const char* name = action == Qt::CopyAction ? "copy"
                           : action == Qt::MoveAction ? "move"
                           : action == Qt::LinkAction ? "link"
                                                      : "none";
        std::printf("dropped %s\n", name);
        std::fflush(stdout);
    }

private:
    QStringList m_args;
    bool m_shown = false;
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    Source source(app.arguments().mid(1));
    source.show();
    return app.exec();
}
