// A framed view that is no tool's, as the settings and the welcome view are, shown through a
// kept window: it settles with its sources, its primary button follows the settling and runs
// its apply, and it draws in its frame as a tool window does.

#include "toolkit/closebutton.h"
#include "toolkit/framedview.h"
#include "toolkit/primarybutton.h"
#include "toolkit/secondarybutton.h"
#include "toolkit/toolchrome.h"
#include "toolkit/toolwindow.h"
#include "toolkit/viewsource.h"
#include "windows/keptwindow.h"

#include "../support/ink.h"

#include <QApplication>
#include <QPainter>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

namespace {

// A source that settles, loaded or failed, when told.
struct Source : ViewSource
{
    using ViewSource::ViewSource;
    bool done = false, failed = false;
    bool isSettled() const override { return done; }
    bool hasFailed() const override { return failed; }
    void settle(bool fail)
    {
        done = true;
        failed = fail;
        emit settled();
    }
};

struct PanelView : FramedView
{
    Source* first = new Source(this);
    Source* second = new Source(this);
    int applied = 0;

    PanelView() : FramedView("Preferences")
    {
        addSource(first);
        addSource(second);
        auto* stripe = new QWidget;
        stripe->setAutoFillBackground(true);
        stripe->setPalette(QPalette(Qt::black));
        column()->addWidget(stripe);
        footer()->addWidget(new SecondaryButton("Reset"));
        primary("Done");
    }
    void apply() override { ++applied; }
    void allow(bool allowed) { setPrimaryAllowed(allowed); }
};

const QSize size(420, 360);

} // namespace

class FramedWindowTest : public QObject
{
    Q_OBJECT
  private slots:
    // Return and a click run apply() only once every source has settled and none failed.
    void primaryFollowsTheSources()
    {
        for (const bool fail : {false, true}) {
            PanelView* view = new PanelView;
            ToolWindow window(view, size);
            window.show();
            QSignalSpy settled(view, &FramedView::settled);
            QCOMPARE(window.primaryButton(), view->primaryButton());
            QVERIFY(!view->isSettled() && !view->primaryButton()->isEnabled());
            view->second->settle(false);
            QVERIFY(!view->isSettled() && !view->primaryButton()->isEnabled());
            QTest::keyClick(&window, Qt::Key_Return);
            QCOMPARE(view->applied, 0);
            view->first->settle(fail);
            QVERIFY(view->isSettled());
            QCOMPARE(settled.count(), 1);
            QCOMPARE(view->hasFailedSource(), fail);
            QCOMPARE(view->primaryButton()->isEnabled(), !fail);
            QTest::keyClick(&window, Qt::Key_Return);
            view->primaryButton()->click();
            QCOMPARE(view->applied, fail ? 0 : 2);
        }
    }

    // The view's own condition holds the button back, settled or not; it counts only once settled.
    void viewHoldsThePrimaryBack()
    {
        PanelView view;
        view.allow(false);
        view.first->settle(false);
        view.second->settle(false);
        QVERIFY(view.isSettled() && !view.primaryButton()->isEnabled());
        view.allow(true);
        QVERIFY(view.primaryButton()->isEnabled());
        view.allow(false);
        QVERIFY(!view.primaryButton()->isEnabled());

        PanelView loading;
        loading.allow(true);
        QVERIFY(!loading.primaryButton()->isEnabled());
    }

    // Shown through a kept window, it settles, renders its title, body and enabled primary
    // button in the frame, and its close button only hides the window; the view hears of it.
    void shownSettledAndRenderedThroughAKeptWindow()
    {
        QPointer<PanelView> view;
        KeptWindow kept([&view] {
            view = new PanelView;
            return new ToolWindow(view, size);
        });
        auto* window = qobject_cast<ToolWindow*>(kept.show());
        QVERIFY(window && view && window->view() == view);
        view->first->settle(false);
        view->second->settle(false);
        QVERIFY(view->isSettled());
        QCoreApplication::sendPostedEvents();

        QImage shot(window->size(), QImage::Format_ARGB32_Premultiplied);
        shot.fill(Qt::white);
        window->render(&shot, QPoint(), QRegion(), QWidget::DrawChildren);
        QImage frame(size, QImage::Format_ARGB32_Premultiplied);
        frame.fill(Qt::white);
        QPainter painter(&frame);
        ToolChrome::paint(painter, size, "Preferences", false);
        painter.end();
        const QRect band(48, 0, size.width() - 96, ToolChrome::headerHeight);
        QVERIFY(ink(shot, band).isValid());
        QCOMPARE(ink(shot, band), ink(frame, band));
        const QPoint body = view->body()->mapTo(window, view->body()->rect().center());
        QCOMPARE(qGray(shot.pixel(body)), 0);
        const QRect button(view->primaryButton()->mapTo(window, QPoint()), view->primaryButton()->size());
        QCOMPARE(button.right(), size.width() - ToolChrome::padding - 1);
        const QRgb fill = shot.pixel(button.left() + 6, button.center().y());
        QVERIFY2(qRed(fill) > 230 && qGreen(fill) < 110 && qBlue(fill) < 40,
                 qPrintable(QString::number(fill, 16)));

        QSignalSpy closed(view.data(), &FramedView::closed);
        view->chrome()->closeButton()->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(view && !window->isVisible());
        QCOMPARE(closed.count(), 1);
        QCOMPARE(kept.show(), window);
    }
};

QTEST_MAIN(FramedWindowTest)
#include "test_framedwindow.moc"
