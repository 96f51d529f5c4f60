// Copying on a real X server: what COPY and COPY PATH put on the clipboard is what another
// program pastes, a claim the window system doesn't honour is said as a failure, and drags out
// of the float shelf still deliver, even after a drop target asked for a drag's data with a
// clock ahead of the server's.

#include "app/fileactions.h"
#include "app/floatshelf.h"
#include "app/shelfpanel.h"
#include "app/shelfrow.h"
#include "app/shelfview.h"
#include "platform/clipboard.h"

#include <QApplication>
#include <QDir>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

#include "../support/x11test.h"

// Xlib's macros clash with Qt's names, so its headers come last.
#include <X11/Xlib.h>

constexpr int patience = 10000;

class FileActionsX11Test : public ScreenTest
{
    Q_OBJECT
  public:
    using ScreenTest::ScreenTest;

  private:
    // What another program pastes from the clipboard as `target`; empty when nothing is there.
    static QByteArray pasted(const QString& target)
    {
        QProcess xclip;
        xclip.start("xclip", {"-o", "-selection", "clipboard", "-t", target});
        // This process serves the clipboard, so it keeps handling events while xclip reads.
        if (!QTest::qWaitFor([&] { return xclip.state() == QProcess::NotRunning; }, patience)) return {};
        return xclip.readAllStandardOutput();
    }

    // Drags the row of `file` out of the shelf onto the drop target; what the target said.
    static QByteArray dragOut(FloatShelf& shelf, const QString& file, ChildProcess& target)
    {
        const QList<ShelfRow*> rows = shelf.panel()->view()->rows();
        const auto row =
            std::find_if(rows.cbegin(), rows.cend(), [&](ShelfRow* r) { return r->path() == file; });
        if (row == rows.cend()) return "no row";
        const QPoint from = (*row)->mapToGlobal(QPoint(60, (*row)->height() / 2));
        const QPoint onTarget(100, 100);
        // Started without waiting: the drag runs in this process.
        QProcess drive;
        drive.start(
            "xdotool",
            QStringList{"mousemove"} + at(from) + QStringList{"mousedown", "1"} +
                relativeMoves(from, {from - QPoint(20, 0), onTarget, onTarget + QPoint(1, 0)}, "0.1") +
                QStringList{"mouseup", "1"});
        QByteArray said;
        const bool dropped = QTest::qWaitFor(
            [&] { return (said += target.readAllStandardOutput()).contains("dropped"); }, patience);
        const bool driven = QTest::qWaitFor([&] { return drive.state() == QProcess::NotRunning; }, patience);
        return dropped && driven ? said.trimmed() : "no drop: " + said;
    }

  private slots:
    void copiesAfterADragOut()
    {
        REQUIRE_SCREEN();
        QTemporaryDir folder;
        const QString a = folder.filePath("a.txt"), b = folder.filePath("b c.txt");
        for (const QString& path : {a, b}) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        const QByteArray uriA = QUrl::fromLocalFile(a).toEncoded(), uriB = QUrl::fromLocalFile(b).toEncoded();
        ChildProcess target;
        QByteArray said;
        QVERIFY(startDragSource(target, {}, said, "droptarget"));
        FloatShelf shelf;
        shelf.show({a, b});
        QVERIFY(QTest::qWaitForWindowExposed(shelf.panel()));

        // A drop target that stamps its request for the drag's data with a clock of its own,
        // ten minutes ahead of the server's.
        Display* peer = XOpenDisplay(nullptr);
        QVERIFY(peer);
        const auto closePeer = qScopeGuard([peer] { XCloseDisplay(peer); });
        const Window requestor = XCreateSimpleWindow(peer, DefaultRootWindow(peer), 0, 0, 1, 1, 0, 0, 0);
        const Atom dragSelection = XInternAtom(peer, "XdndSelection", False);
        bool asked = false;
        QTimer ask;
        connect(&ask, &QTimer::timeout, [&] {
            if (asked || XGetSelectionOwner(peer, dragSelection) == 0) return;
            XSelectInput(peer, requestor, PropertyChangeMask);
            XChangeProperty(peer, requestor, dragSelection, dragSelection, 8, PropModeReplace, nullptr, 0);
            XEvent event;
            XWindowEvent(peer, requestor, PropertyChangeMask, &event);
            XConvertSelection(peer, dragSelection, XInternAtom(peer, "text/uri-list", False), dragSelection,
                              requestor, event.xproperty.time + 10 * 60 * 1000);
            XFlush(peer);
            asked = true;
        });
        ask.start(5);
        QCOMPARE(dragOut(shelf, a, target), "dropped " + uriA);
        QVERIFY(asked);
        ask.stop();
        // Another program drags something meanwhile; the next drag out still hands its file over.
        XSetSelectionOwner(peer, dragSelection, requestor, CurrentTime);
        XSync(peer, False);
        QCOMPARE(dragOut(shelf, b, target), "dropped " + uriB);

        QStringList toasts;
        FileActions::Services services = FileActions::defaultServices();
        services.toast = [&](const QString& title, const QString& detail) { toasts << title + '|' + detail; };
        services.warn = [&](const QString& title, const QString& detail) {
            toasts << "! " + title + '|' + detail;
        };
        FileActions::perform(ActionID::copy, {a, b}, services);
        QCOMPARE(pasted("text/uri-list"), uriA + "\r\n" + uriB + "\r\n");
        QCOMPARE(pasted("x-special/gnome-copied-files"), "copy\n" + uriA + '\n' + uriB);
        FileActions::perform(ActionID::copyPath, {b}, services);
        QCOMPARE(QString::fromUtf8(pasted("UTF8_STRING")), b);
        QCOMPARE(toasts, (QStringList{"Copied 2 items|Paste in your file manager to make a copy.",
                                      "Copied path|" + FileActions::abbreviated(b)}));

        // So does a drag after the copies.
        QCOMPARE(dragOut(shelf, a, target), "dropped " + uriA);
        releaseAll();
    }

    // A claim that the window system doesn't honour (another program takes the clipboard right
    // after it, on every try) is said in plain words, with no "Copied" toast, and the other
    // program keeps the clipboard; the next plain copy takes it back.
    void refusedClaimIsSaid()
    {
        REQUIRE_SCREEN();
        Display* peer = XOpenDisplay(nullptr);
        QVERIFY(peer);
        const auto closePeer = qScopeGuard([peer] { XCloseDisplay(peer); });
        const Window other = XCreateSimpleWindow(peer, DefaultRootWindow(peer), 0, 0, 1, 1, 0, 0, 0);
        const Atom clipboard = XInternAtom(peer, "CLIPBOARD", False);
        int claims = 0;
        const Clipboard::Claim overtaken = [&](QMimeData* data) {
            Clipboard::claim(data);
            ++claims;
            XSetSelectionOwner(peer, clipboard, other, CurrentTime);
            XSync(peer, False);
        };
        QStringList toasts;
        FileActions::Services services = FileActions::defaultServices();
        services.toast = [&](const QString& title, const QString& detail) { toasts << title + '|' + detail; };
        services.warn = [&](const QString& title, const QString& detail) {
            toasts << "! " + title + '|' + detail;
        };
        FileActions::Services refused = services;
        refused.copyFiles = [&](const QStringList& files) { return Clipboard::putFiles(files, overtaken); };
        refused.copyText = [&](const QString& text) { return Clipboard::putText(text, overtaken); };

        const QString a = QDir::temp().filePath("a.txt"), b = QDir::temp().filePath("b.txt");
        FileActions::perform(ActionID::copy, {a}, refused);
        FileActions::perform(ActionID::copyPath, {a, b}, refused);
        const QString why = "The window system didn’t hand the clipboard over to Tolvane. Try again.";
        QCOMPARE(toasts, (QStringList{"! Couldn’t copy|" + why, "! Couldn’t copy the paths|" + why}));
        QCOMPARE(claims, 4);
        QCOMPARE(XGetSelectionOwner(peer, clipboard), other);

        toasts.clear();
        FileActions::perform(ActionID::copyPath, {a}, services);
        QCOMPARE(toasts, QStringList{"Copied path|" + FileActions::abbreviated(a)});
        QVERIFY(XGetSelectionOwner(peer, clipboard) != other);
        QCOMPARE(QString::fromUtf8(pasted("UTF8_STRING")), a);
    }
};

X11_TEST_MAIN(FileActionsX11Test, QApplication, {"xdotool", "xdotool"}, {"xclip", "xclip"})

#include "test_fileactions_x11.moc"
