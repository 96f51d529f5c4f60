// A window made once: the second show brings back the same window, closing only hides it, and
// without a maker nothing is shown.

#include "toolkit/toolwindow.h"
#include "windows/keptwindow.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QTest>

class KeptWindowTest : public QObject
{
    Q_OBJECT
  private slots:
    void madeOnceAndShownAgain()
    {
        int made = 0;
        KeptWindow kept([&made] {
            ++made;
            return new ToolWindow(new QWidget, QSize(540, 680));
        });
        QVERIFY(!kept.window());
        QPointer<QWidget> first = kept.show();
        QVERIFY(first && first->isVisible());
        QCOMPARE(first->geometry().center(), QGuiApplication::primaryScreen()->availableGeometry().center());
        QVERIFY(first->close());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY2(first, "the closed window was deleted");
        QVERIFY(!first->isVisible());
        QCOMPARE(kept.show(), first.data());
        QVERIFY(first->isVisible());
        QCOMPARE(made, 1);

        KeptWindow none{KeptWindow::Maker()};
        QVERIFY(!none.show() && !none.window());
    }
};

QTEST_MAIN(KeptWindowTest)
#include "test_keptwindow.moc"
