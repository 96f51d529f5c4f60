// Tool windows on two offscreen screens side by side: sizes, the registry, the keys, placement
// under the pointer, the road from a view's work to the job runner, and a self-check for each.

#include "core/job.h"
#include "core/jobs.h"
#include "toolkit/closebutton.h"
#include "toolkit/framedview.h"
#include "toolkit/primarybutton.h"
#include "toolkit/toolchrome.h"
#include "toolkit/toolcontext.h"
#include "toolkit/toolview.h"
#include "toolkit/toolwindow.h"
#include "tools/selfchecks.h"
#include "tools/toolwindows.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QMutex>
#include <QPainter>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>
#include <algorithm>

#include "../support/ink.h"
#include "../support/toolharness.h"

namespace {

// A framed view with a primary button and a text field, as a real tool has.
struct KeyedView : FramedView
{
    QLineEdit* field = new QLineEdit;
    PrimaryButton* primary;
    int pressed = 0;

    KeyedView() : FramedView("Keys")
    {
        column()->addWidget(field);
        column()->addStretch(1);
        primary = FramedView::primary("Apply");
    }
    void apply() override { ++pressed; }
};

bool near(const QRect& a, const QRect& b)
{
    return a.isValid() && (a.topLeft() - b.topLeft()).manhattanLength() <= 2 &&
           (a.bottomRight() - b.bottomRight()).manhattanLength() <= 2;
}

QString writeFile(const QTemporaryDir& dir, const QString& name, int bytes)
{
    QFile f(dir.filePath(name));
    f.open(QIODevice::WriteOnly);
    f.write(QByteArray(bytes, 'x'));
    return f.fileName();
}

} // namespace

class ToolWindowsTest : public QObject
{
    Q_OBJECT
  private slots:
    void cleanup()
    {
        for (ToolWindow* w : ToolWindows::openWindows())
            w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        Jobs::setPresenter({});
    }

    // Every route, windowless tools and placeholders included: its window opens at its size and
    // least size, titled with the tool's name, settles, and draws the name in its frame and
    // the view's body over it (a windowless tool's body stays empty).
    void everyRouteOpensSettlesAndRenders()
    {
        QTemporaryDir dir;
        const QString picture = dir.filePath("green.png");
        QImage green(64, 48, QImage::Format_RGB32);
        green.fill(Qt::darkGreen);
        QVERIFY(green.save(picture));
        const auto routes = ToolWindows::routes();
        QCOMPARE(qsizetype(routes.size()), allToolIds().size());
        ToolHarness harness;
        for (ToolID tool : allToolIds()) {
            const ToolWindows::Route& route = routes[int(tool)];
            QCOMPARE(int(route.tool), int(tool));
            ToolView* view = harness.open(tool, {picture});
            QVERIFY2(view, qPrintable(rawValue(tool)));
            auto* w = qobject_cast<ToolWindow*>(view->window());
            QCOMPARE(w->size(), route.size);
            QCOMPARE(w->minimumSize(), ToolWindow::minimumFor(route.size));
            QCOMPARE(w->windowTitle(), name(tool));

            const QImage shot = w->grab().toImage();
            QCOMPARE(shot.size(), route.size);
            QImage frame(route.size, QImage::Format_ARGB32_Premultiplied);
            frame.fill(Qt::white);
            QPainter painter(&frame);
            ToolChrome::paint(painter, route.size, view->title(), false);
            const QRect band(48, 0, route.size.width() - 96, ToolChrome::headerHeight);
            QVERIFY2(near(ink(shot, band), ink(frame, band)), qPrintable(rawValue(tool)));
            const QRect body(view->body()->mapTo(w, QPoint()), view->body()->size());
            QCOMPARE(ink(shot, body).isValid(), !isWindowless(tool));
            w->close();
        }
        QCOMPARE(ToolWindow::minimumFor(QSize(460, 640)), QSize(368, 480));
        QCOMPARE(ToolWindow::minimumFor(QSize(480, 470)), QSize(384, 353)); // never below 0.75 × 470
    }

    // Every tool, windowless ones too, has its work run by the self-test at least once.
    void everyToolHasASelfCheck()
    {
        const auto checks = SelfChecks::all();
        QStringList missing;
        for (const ToolWindows::Route& route : ToolWindows::routes()) {
            if (std::none_of(checks.begin(), checks.end(),
                             [&](const SelfChecks::Check& check) { return check.tool == route.tool; }))
                missing << rawValue(route.tool);
        }
        QVERIFY2(missing.isEmpty(), qPrintable("no self-check for " + missing.join(", ")));
    }

    // A second open of the same tool gives a second window with its own files.
    void windowsPerOpening()
    {
        ToolWindow* a = ToolWindows::open(ToolID::trimAudio, {"/tmp/a.wav"});
        ToolWindow* b = ToolWindows::open(ToolID::trimAudio, {"/tmp/b.wav"});
        QVERIFY(a && b && a != b);
        QCOMPARE(ToolWindows::openWindows(), (QList<ToolWindow*>{a, b}));
        const auto* view = qobject_cast<ToolView*>(b->content());
        QCOMPARE(view->context().urls(), QStringList{"/tmp/b.wav"});
        QCOMPARE(view->context().window(), b);
    }

    void noFilesNoWindow()
    {
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("without files"));
        QVERIFY(!ToolWindows::open(ToolID::cropImage, {}));
        QVERIFY(ToolWindows::openWindows().isEmpty());
    }

    // Escape, the close button and the window manager close the window and take it off the
    // register; its view hears of it once.
    void closingUnregisters()
    {
        const QList<std::function<void(ToolWindow&)>> ways = {
            [](ToolWindow& w) { QTest::keyClick(&w, Qt::Key_Escape); },
            [](ToolWindow& w) { w.findChild<CloseButton*>()->click(); },
            [](ToolWindow& w) {
                QCloseEvent event; // as the window manager's close reaches the window
                QCoreApplication::sendEvent(w.windowHandle(), &event);
            },
        };
        ToolWindow* kept = ToolWindows::open(ToolID::compress, {"/tmp/b.pdf"});
        for (const auto& way : ways) {
            QPointer<ToolWindow> gone = ToolWindows::open(ToolID::compress, {"/tmp/a.pdf"});
            QSignalSpy closed(gone->content(), SIGNAL(closed()));
            way(*gone);
            QVERIFY(gone && !gone->isVisible());
            QCOMPARE(ToolWindows::openWindows(), QList<ToolWindow*>{kept});
            gone->close();
            QCOMPARE(closed.count(), 1);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QVERIFY(!gone);
        }
    }

    void returnPressesAnEnabledPrimaryOutsideTextFields()
    {
        auto& view = *new KeyedView;
        ToolWindow window(&view, QSize(300, 200));
        window.show();
        QTest::keyClick(&window, Qt::Key_Return);
        QCOMPARE(view.pressed, 1);
        QTest::keyClick(&window, Qt::Key_Enter);
        QCOMPARE(view.pressed, 2);
        view.primary->setEnabled(false);
        QTest::keyClick(&window, Qt::Key_Return);
        QCOMPARE(view.pressed, 2);
        view.primary->setEnabled(true);
        // A text field passes Return on to its window, which leaves the button alone then.
        view.field->setFocus();
        QSignalSpy committed(view.field, &QLineEdit::returnPressed);
        QTest::keyClick(view.field, Qt::Key_Return);
        QCOMPARE(committed.count(), 1);
        QCOMPARE(view.pressed, 2);
        // A click on the background takes the focus back from the field.
        QTest::mouseClick(&window, Qt::LeftButton, {}, QPoint(150, 180));
        QTest::keyClick(window.focusWidget(), Qt::Key_Return);
        QCOMPARE(view.pressed, 3);
    }

    // Centred on the screen under the pointer: screen A is 1280 × 800 at the origin, screen B
    // 1920 × 1080 to its right.
    void placedOnTheScreenUnderThePointer()
    {
        QCOMPARE(QGuiApplication::screens().size(), 2);
        const QList<std::pair<QPoint, QPoint>> cases = {
            {{2000, 700}, {1280 + 730, 220}},
            {{5, 5}, {410, 80}},
            {{1279, 799}, {410, 80}},
            {{1280, 0}, {1280 + 730, 220}},
        };
        for (const auto& [pointer, origin] : cases) {
            QCursor::setPos(pointer);
            ToolWindow* w = ToolWindows::open(ToolID::cropImage, {"/tmp/p.png"});
            QCOMPARE(w->pos(), origin);
            w->close();
        }
    }

    // The work goes to the job runner with the files asked for, or the context's; the panel
    // opens 40 points below the window's centre, or anywhere once the window is gone.
    void workReachesTheJobRunner()
    {
        QTemporaryDir dir;
        const QStringList files = {writeFile(dir, "one.bin", 1000), writeFile(dir, "two.bin", 234)};
        QList<std::shared_ptr<Job>> jobs;
        QList<std::optional<QPointF>> points;
        Jobs::setPresenter([&](const std::shared_ptr<Job>& job, std::optional<QPointF> at) {
            jobs << job;
            points << at;
        });
        auto ctx = [&] {
            return qobject_cast<ToolView*>(ToolWindows::openWindows().last()->content())->sharedContext();
        };
        QMutex lock;
        QStringList seen;
        const Jobs::FileWork record = [&](const QString& file, Job&, const std::function<void(double)>&) {
            QMutexLocker locker(&lock);
            seen << file;
            return QStringList();
        };

        ToolWindow* w = ToolWindows::open(ToolID::compress, files);
        const QPointF centre = QRectF(w->frameGeometry()).center();
        ctx()->run("Squeezing", std::nullopt, record);
        QVERIFY(!w->isVisible());
        QCOMPARE(points.last(), std::optional<QPointF>(centre + QPointF(0, 40)));
        QTRY_VERIFY(!jobs.last()->isRunning());
        seen.sort();
        QCOMPARE(seen, files);

        ToolWindows::open(ToolID::compress, files);
        const std::shared_ptr<ToolContext> kept = ctx();
        seen.clear();
        kept->run("Squeezing", QStringList{files[1]}, record);
        QTRY_VERIFY(!jobs.last()->isRunning());
        QCOMPARE(seen, QStringList{files[1]});
        // The window is gone now: a second hand-over has no point to open at.
        kept->runOnce("Once", std::nullopt,
                      [](Job&, const std::function<void(double)>&) { return QStringList(); });
        QVERIFY(!points.last());
        QCOMPARE(jobs.last()->detail(), QString("one.bin"));
        QCOMPARE(jobs.last()->bytes(), qint64(1234));
        kept->runOnce("Once", QString("2 files"),
                      [](Job&, const std::function<void(double)>&) { return QStringList(); });
        QCOMPARE(jobs.last()->detail(), QString("2 files"));
        QTRY_VERIFY(!jobs.last()->isRunning());
    }
};

int main(int argc, char** argv)
{
    QTemporaryDir dir;
    QJsonArray screens;
    for (const QRect& r : {QRect(0, 0, 1280, 800), QRect(1280, 0, 1920, 1080)}) {
        screens.append(QJsonObject{{"name", QString::number(screens.size())},
                                   {"x", r.x()},
                                   {"y", r.y()},
                                   {"width", r.width()},
                                   {"height", r.height()},
                                   {"logicalDpi", 96},
                                   {"logicalBaseDpi", 96},
                                   {"dpr", 1}});
    }
    QFile config(dir.filePath("screens.json"));
    config.open(QIODevice::WriteOnly);
    config.write(QJsonDocument(QJsonObject{{"screens", screens}}).toJson());
    config.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.fileName().toLocal8Bit());
    QApplication app(argc, argv);
    ToolWindowsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_toolwindows.moc"
