// The tray application's wheel on a real X server: a drag from another process, a modifier key
// from XTest, the wheel under the pointer and the drop on a petal, all through the real
// AppDelegate with its drag monitor; the wheel's cut where no compositor runs; last, a Word
// document's whole road to a PDF beside it. (How floating windows follow a compositor is the
// toolkit's test.)

#include "app/appdelegate.h"
#include "app/hud.h"
#include "app/hudview.h"
#include "app/wheelcontroller.h"
#include "app/wheelpanel.h"
#include "core/catalog.h"
#include "core/jobs.h"
#include "core/settings.h"
#include "platform/x11dragwatcher.h"
#include "toolkit/wheel/wheelgeometry.h"
#include "toolkit/wheel/wheelmodel.h"

#include <QApplication>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUrl>
#include <QWindow>

#include "../support/x11test.h"

// Last, for Xlib's macros.
#include "../support/x11screen.h"

namespace {

constexpr int patience = 5000;
constexpr int officePatience = 180000; // LibreOffice's first start on a busy machine
const QPoint onSource(100, 100);

struct Drop
{
    WheelItem item;
    QStringList files;
    QPoint point;
};

// Where the X server has the top-left corner of window `id`.
QPoint serverCorner(WId id)
{
    QProcess info;
    info.start(QStringLiteral("xwininfo"), {QStringLiteral("-id"), QString::number(id)});
    info.waitForFinished();
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("upper-left X:\\s*(-?\\d+)\\s*Absolute upper-left Y:\\s*(-?\\d+)"))
            .match(QString::fromLocal8Bit(info.readAllStandardOutput()));
    return {m.captured(1).toInt(), m.captured(2).toInt()};
}

// A window that takes any drop of files, as a file manager's folder does.
class DropRecorder : public QWidget
{
  public:
    explicit DropRecorder(const QRect& geometry)
        : QWidget(nullptr, Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint)
    {
        setAcceptDrops(true);
        setGeometry(geometry);
        show();
    }
    bool dragOver = false;
    int drops = 0;

  protected:
    void dragEnterEvent(QDragEnterEvent* event) override
    {
        dragOver = true;
        event->acceptProposedAction();
    }
    void dragMoveEvent(QDragMoveEvent* event) override { event->acceptProposedAction(); }
    void dragLeaveEvent(QDragLeaveEvent*) override { dragOver = false; }
    void dropEvent(QDropEvent* event) override
    {
        dragOver = false;
        ++drops;
        event->acceptProposedAction();
    }
};

// A Word document written by LibreOffice from a little HTML, with a profile of its own.
bool makeDocx(const QString& folder)
{
    QFile html(folder + "/Letter.html");
    if (!html.open(QIODevice::WriteOnly)) return false;
    html.write("<html><body><h1>Dear Ana</h1><p>The plans are attached.</p></body></html>");
    html.close();
    QTemporaryDir profile;
    QProcess soffice;
    soffice.start("soffice", {"--headless", "--norestore",
                              "-env:UserInstallation=" + QUrl::fromLocalFile(profile.path()).toString(),
                              "--convert-to", "docx:MS Word 2007 XML", "--outdir", folder, html.fileName()});
    return soffice.waitForFinished(officePatience) && html.remove() && QFile::exists(folder + "/Letter.docx");
}

} // namespace

class WheelX11Test : public ScreenTest
{
    Q_OBJECT
  public:
    using ScreenTest::ScreenTest;

  private:
    WheelController& wheel() { return m_app->wheel(); }

    // Waits for `source` to print a line that starts with `prefix` and gives it, passing over the
    // lines before it; empty when none comes. `said` keeps what is not read yet.
    static QByteArray nextLine(QProcess& source, QByteArray& said, const QByteArray& prefix)
    {
        QByteArray found;
        const auto seen = [&] {
            said += source.readAllStandardOutput();
            for (qsizetype end = 0; found.isEmpty() && (end = said.indexOf('\n')) >= 0;) {
                const QByteArray line = said.left(end).trimmed();
                said.remove(0, end + 1);
                if (line.startsWith(prefix)) found = line;
            }
            return !found.isEmpty();
        };
        return QTest::qWaitFor(seen, patience) ? found : QByteArray();
    }

    // Waits for the drag source to say how its drag ended: "dropped copy", "dropped none"…
    QByteArray report() { return nextLine(m_source, m_said, "dropped"); }

    // Presses on the drag source and takes the pointer to `pointer` in one jump, away from any
    // window that takes drops: the source starts a drag of the two files on the way.
    bool startDrag(QPoint pointer)
    {
        return xdotool(QStringList{"mousemove"} + at(onSource) + QStringList{"mousedown", "1", "mousemove"} +
                       at(pointer));
    }

    // The screen point over the middle of petal `index` of the wheel as it stands.
    QPoint overPetal(int index)
    {
        const int count = int(wheel().model().items().size());
        return (wheel().anchor() +
                WheelGeometry::polar(WheelGeometry::labelRadius, WheelGeometry::centreAngle(index, count)))
            .toPoint();
    }

    // Holds `key` until the wheel of `mode` is up: the key is seen whether it goes down before
    // or after the monitor has noticed the drag.
    bool tapKey(const QString& key, WheelMode mode)
    {
        return xdotool({"keydown", key}) &&
               QTest::qWaitFor([&] { return wheel().isVisible() && wheel().model().mode() == mode; },
                               patience) &&
               xdotool({"keyup", key});
    }

  private slots:
    void initTestCase()
    {
        if (!m_noScreen.isEmpty()) return;
        Settings::store()->clear();
        Settings::shared().reload();
        Settings::shared().setOnboarded(true);
        Settings::shared().setHighlightSound(false);

        for (const QString name : {"photo one.png", "photo två.png"}) {
            m_files << m_dir.filePath(name);
            QVERIFY(QFile(m_files.last()).open(QIODevice::WriteOnly));
        }

        m_app = std::make_unique<AppDelegate>();
        m_app->launch();
        m_app->setOnDrop([this](const WheelItem& item, const QStringList& files, QPoint point) {
            m_drops.append({item, files, point});
        });
        QVERIFY(startDragSource(m_source, m_files, m_said));
    }

    void init()
    {
        m_drops.clear();
        m_source.readAllStandardOutput();
        m_said.clear();
    }

    // Whatever a failed case left pressed is let go, and the wheel is gone before the next.
    void cleanup()
    {
        if (!m_noScreen.isEmpty()) return;
        releaseAll();
        QTRY_VERIFY_WITH_TIMEOUT(!wheel().isVisible(), patience);
        QTRY_VERIFY_WITH_TIMEOUT(!wheel().panel()->isVisible(), patience);
    }

    void dropOnPetal_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<WheelMode>("mode");
        QTest::addColumn<QPoint>("pointer");
        QTest::addColumn<QPointF>("centre");
        QTest::addColumn<int>("petal");   // counted from the end when negative
        QTest::addColumn<bool>("across"); // the drag crosses drop-aware windows, else it jumps

        const double m = WheelController::edgeMargin;
        QTest::newRow("Shift: conversions")
            << "shift" << WheelMode::conversions << QPoint(640, 400) << QPointF(640, 400) << 2 << false;
        QTest::newRow("Control: actions, clamped at the corner")
            << "Control_L" << WheelMode::actions << QPoint(1250, 780) << QPointF(1280 - m, 800 - m) << -1
            << false;
        QTest::newRow("dragAcrossDropAwareWindows")
            << "shift" << WheelMode::conversions << QPoint(850, 300) << QPointF(850, 300) << 0 << true;
    }

    void dropOnPetal()
    {
        REQUIRE_SCREEN();
        QFETCH(QString, key);
        QFETCH(WheelMode, mode);
        QFETCH(QPoint, pointer);
        QFETCH(QPointF, centre);
        QFETCH(int, petal);
        QFETCH(bool, across);

        // A Qt source hands its files over only for the time of the input event behind its latest
        // position message, so they must still come when the drag has crossed drop-aware windows
        // (the source's own, then another) before the monitor asks.
        QWidget target;
        std::unique_ptr<X11DragWatcher> witness;
        if (across) {
            target.setWindowFlags(Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint);
            target.setAcceptDrops(true);
            target.setGeometry(700, 150, 300, 300);
            target.show();
            QVERIFY(QTest::qWaitForWindowExposed(&target));
            // A watcher of the test's own sees the press when the application's does.
            witness = X11DragWatcher::open();
            QVERIFY(witness);
            QSignalSpy presses(witness.get(), &DragSource::buttonPressed);
            QVERIFY(xdotool(QStringList{"mousemove"} + at(onSource) + QStringList{"mousedown", "1"}));
            QTRY_COMPARE_WITH_TIMEOUT(presses.count(), 1, patience);
            // One run of xdotool, during which this process answers nothing, so the monitor asks
            // only once the drag has gone all the way; each step has time to reach the source.
            const QList<QPoint> path{{120, 110}, {140, 125}, {160, 140}, {450, 80}, pointer};
            QVERIFY(xdotool(relativeMoves(onSource, path, QStringLiteral("0.05"))));
        } else {
            QVERIFY(startDrag(pointer));
        }
        QVERIFY(tapKey(key, mode));

        const QList<WheelItem> items = Catalog::items(mode, m_files);
        QVERIFY(!items.isEmpty());
        QCOMPARE(wheel().model().items(), items);
        WheelPanel* panel = wheel().panel();
        QTRY_VERIFY_WITH_TIMEOUT(panel->windowHandle() && panel->windowHandle()->isExposed(), patience);
        const QPoint corner = serverCorner(panel->winId());
        QVERIFY2((corner - (centre - QPointF(160, 160)).toPoint()).manhattanLength() <= 2,
                 qPrintable(QStringLiteral("wheel at %1,%2").arg(corner.x()).arg(corner.y())));

        const int index = petal < 0 ? int(items.size()) + petal : petal;
        const QPoint over = overPetal(index);
        QVERIFY(xdotool(QStringList{"mousemove"} + at(over)));
        QTRY_COMPARE_WITH_TIMEOUT(wheel().model().highlighted(), std::optional<int>(index), patience);

        QVERIFY(xdotool({"mouseup", "1"}));
        QTRY_COMPARE_WITH_TIMEOUT(m_drops.size(), 1, patience);
        QCOMPARE(m_drops[0].item, items[index]);
        QCOMPARE(m_drops[0].files, m_files);
        QVERIFY((m_drops[0].point - over).manhattanLength() <= 2);
        QVERIFY(!wheel().isVisible());

        // The source offered a move and preferred it; the wheel took a copy.
        QCOMPARE(report(), QByteArray("dropped copy"));
        for (const QString& file : m_files)
            QVERIFY(QFileInfo::exists(file));
    }

    // A GTK source offers only a move while Shift is held, so with the wheel up under the pointer
    // it enters with a move only. Once Shift is let go it offers a copy at its next motion: the
    // petal lights and the drop arrives as a copy. A release with Shift held is refused.
    void shiftFromNarrowingSource_data()
    {
        QTest::addColumn<bool>("heldAtRelease");
        QTest::newRow("Shift let go before the button") << false;
        QTest::newRow("Shift held at the release") << true;
    }

    void shiftFromNarrowingSource()
    {
        REQUIRE_SCREEN();
        QFETCH(bool, heldAtRelease);
        ChildProcess source;
        QByteArray said;
        QVERIFY(startDragSource(source, m_files, said, QStringLiteral("xdndsource")));
        const QPoint start(640, 400), nudged(643, 402);
        QVERIFY(startDrag(start));
        QVERIFY(xdotool({"keydown", "shift"}));
        QTRY_VERIFY_WITH_TIMEOUT(wheel().isVisible() && wheel().model().mode() == WheelMode::conversions,
                                 patience);
        QWindow* window = wheel().panel()->windowHandle();
        QTRY_VERIFY_WITH_TIMEOUT(window && window->isExposed(), patience);

        QVERIFY(xdotool(relativeMoves(start, {nudged}, QStringLiteral("0"))));
        QCOMPARE(nextLine(source, said, "status"), QByteArray("status none"));
        const int index = 1;
        const QPoint over = overPetal(index);
        if (!heldAtRelease) QVERIFY(xdotool({"keyup", "shift"}));
        QVERIFY(xdotool(relativeMoves(nudged, {over}, QStringLiteral("0"))));
        QCOMPARE(nextLine(source, said, "status"), QByteArray(heldAtRelease ? "status none" : "status copy"));
        QCOMPARE(wheel().model().highlighted(), heldAtRelease ? std::nullopt : std::optional<int>(index));

        QVERIFY(xdotool({"mouseup", "1", "keyup", "shift"}));
        QCOMPARE(nextLine(source, said, "dropped"),
                 QByteArray(heldAtRelease ? "dropped none" : "dropped copy"));
        QTRY_VERIFY_WITH_TIMEOUT(!wheel().isVisible() && m_drops.size() == (heldAtRelease ? 0 : 1), patience);
        if (!heldAtRelease) QCOMPARE(m_drops[0].item, Catalog::items(WheelMode::conversions, m_files)[index]);
        for (const QString& file : m_files)
            QVERIFY(QFileInfo::exists(file));
    }

    // Esc hides the wheel at once; a release over the hole in the middle or in the gap around the
    // centre disc is refused and the wheel goes a moment later. Either way nothing is dropped: a
    // release takes nothing to the folder-like window beneath, even where the wheel draws nothing.
    void endsWithoutDrop_data()
    {
        QTest::addColumn<QStringList>("end");
        QTest::addColumn<QPoint>("release"); // from the wheel's centre
        QTest::newRow("Esc") << QStringList{"keydown", "Escape"} << QPoint();
        QTest::newRow("release over the hole") << QStringList{"mouseup", "1"} << QPoint();
        QTest::newRow("release in the gap") << QStringList{"mouseup", "1"} << QPoint(0, -39);
    }

    void endsWithoutDrop()
    {
        REQUIRE_SCREEN();
        QFETCH(QStringList, end);
        QFETCH(QPoint, release);
        const bool released = end[0] == QLatin1String("mouseup");
        const QPoint centre(640, 400);
        std::optional<DropRecorder> beneath;
        if (released) {
            beneath.emplace(QRect(centre - QPoint(200, 200), QSize(400, 400)));
            QVERIFY(QTest::qWaitForWindowExposed(&*beneath));
        }
        QVERIFY(startDrag(centre));
        QVERIFY(tapKey(QStringLiteral("Alt_L"), WheelMode::tools));
        QWindow* window = wheel().panel()->windowHandle();
        QTRY_VERIFY_WITH_TIMEOUT(window && window->isExposed(), patience);
        // The source looks for the window under the pointer again only when the pointer moves, and
        // a busy source takes two quick moves for the last alone: back where the drag is, no move.
        // So the pointer stops first beside the release, in the same part of the wheel, until the
        // window beneath has lost the drag.
        QVERIFY(xdotool(QStringList{"mousemove"} + at(centre + release + QPoint(1, -1))));
        if (beneath) QTRY_VERIFY_WITH_TIMEOUT(!beneath->dragOver, patience);
        QVERIFY(xdotool(QStringList{"mousemove"} + at(centre + release)));

        QElapsedTimer sinceEnd;
        sinceEnd.start();
        QVERIFY(xdotool(end));
        QTRY_VERIFY_WITH_TIMEOUT(!wheel().isVisible() && !wheel().panel()->isVisible(), patience);
        if (released) QVERIFY2(sinceEnd.elapsed() >= 300, qPrintable(QString::number(sinceEnd.elapsed())));
        QVERIFY(xdotool({"keyup", "Escape", "mouseup", "1"}));
        QCOMPARE(report(), QByteArray("dropped none"));
        QVERIFY(m_drops.isEmpty());
        if (beneath) QCOMPARE(beneath->drops, 0);
    }

    // A source that goes on dragging after Escape: the wheel hides, and a release over where a
    // petal was lit, without moving, drops nothing.
    void escapeThenReleaseOnPetal()
    {
        REQUIRE_SCREEN();
        ChildProcess source;
        QByteArray said;
        QVERIFY(startDragSource(source, m_files, said, QStringLiteral("xdndsource")));
        QVERIFY(startDrag(QPoint(640, 400)));
        QVERIFY(tapKey(QStringLiteral("Alt_L"), WheelMode::tools));
        QWindow* window = wheel().panel()->windowHandle();
        QTRY_VERIFY_WITH_TIMEOUT(window && window->isExposed(), patience);
        const QPoint over = overPetal(0);
        QVERIFY(
            xdotool(relativeMoves(QPoint(640, 400), {over + QPoint(1, 1), over}, QStringLiteral("0.05"))));
        QTRY_COMPARE_WITH_TIMEOUT(wheel().model().highlighted(), std::optional<int>(0), patience);

        QVERIFY(xdotool({"keydown", "Escape"}));
        QTRY_VERIFY_WITH_TIMEOUT(!wheel().isVisible() && !wheel().panel()->isVisible(), patience);
        QVERIFY(xdotool({"keyup", "Escape", "mouseup", "1"}));
        QCOMPARE(nextLine(source, said, "dropped"), QByteArray("dropped none"));
        QTest::qWait(200); // a drop is handed on at the next turn of the event loop
        QVERIFY(m_drops.isEmpty());
        QVERIFY(!wheel().model().highlighted());
    }

    // Where no compositor runs the wheel is cut to its outline and its reach and opaque within
    // them: just outside the ring and in the window's corner the screen shows the red window
    // beneath, on the ring the wheel's light grey (darker over the black of an unused alpha
    // channel, reddened over the red), in the gap around the centre disc the plain backdrop.
    // Window lists that read only WM_NAME see its name.
    void cutToItsOutlineWithoutCompositor()
    {
        REQUIRE_SCREEN();
        const QPoint centre(640, 360);
        QWidget beneath(nullptr, Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint);
        beneath.setGeometry(300, 100, 700, 650);
        beneath.setPalette(QColor(220, 30, 30));
        beneath.setAutoFillBackground(true);
        beneath.show();
        const X11Screen screen;
        const auto isRed = [&](QPoint p) {
            const QRgb c = screen.pixel(p);
            return std::abs(qRed(c) - 220) <= 6 && std::abs(qGreen(c) - 30) <= 6 &&
                   std::abs(qBlue(c) - 30) <= 6;
        };
        const auto isGrey = [&](QPoint p) {
            const QRgb c = screen.pixel(p);
            return std::abs(qRed(c) - qGreen(c)) <= 12 && qRed(c) > 200;
        };
        const auto above = [&](int radius) {
            return centre - QPoint(0, radius);
        }; // no petal shadow falls there
        QTRY_VERIFY_WITH_TIMEOUT(isRed(centre), patience);
        const auto hideAtEnd = qScopeGuard([&] { wheel().hide(false); });
        wheel().show(WheelMode::conversions, m_files, centre);
        QTRY_VERIFY_WITH_TIMEOUT(!isRed(above(122)), patience);
        QVERIFY(isRed(above(130)) && isRed(centre - QPoint(150, 150)));
        // The grey outline is there from the first paint, while the ring still grows across the gap.
        QTRY_VERIFY_WITH_TIMEOUT(isGrey(above(122)), patience);
        QTRY_VERIFY_WITH_TIMEOUT(isGrey(above(39)), patience);
        const unsigned long window = wheel().panel()->winId();
        QVERIFY(screen.shaped(window));
        QCOMPARE(screen.text(window, "WM_NAME"), QByteArray("Tolvane"));
        QCOMPARE(screen.text(window, "_NET_WM_NAME"), QByteArray("Tolvane"));
    }

    // A source shows its drag's icon under the pointer, where the wheel comes up: where no
    // compositor runs, no frozen piece of it shows in the gap around the centre disc, which is
    // painted plainly.
    void noDragIconInTheGap()
    {
        REQUIRE_SCREEN();
        const QPoint centre(640, 400);
        const X11Screen screen;
        const auto isIcon = [&](QPoint p) {
            const QRgb c = screen.pixel(p);
            return qRed(c) < 40 && std::abs(qGreen(c) - 70) <= 30 && qBlue(c) > 200;
        };
        const auto isPlain = [&](QPoint p) {
            const QRgb c = screen.pixel(p);
            return std::abs(qRed(c) - qBlue(c)) <= 12 && qRed(c) > 200;
        };
        const QList<QPoint> gap{{0, -39}, {0, 39}, {-39, 0}, {39, 0}, {27, 27}, {-27, -27}};
        QVERIFY(startDrag(centre));
        QTRY_VERIFY_WITH_TIMEOUT(
            std::all_of(gap.cbegin(), gap.cend(), [&](QPoint p) { return isIcon(centre + p); }), patience);
        QVERIFY(tapKey(QStringLiteral("shift"), WheelMode::conversions));
        QWindow* window = wheel().panel()->windowHandle();
        QTRY_VERIFY_WITH_TIMEOUT(window && window->isExposed(), patience);
        const auto colours = [&] {
            QStringList names;
            for (const QPoint p : gap)
                names << QColor(screen.pixel(centre + p)).name();
            return names.join(' ');
        };
        QTRY_VERIFY2_WITH_TIMEOUT(
            std::all_of(gap.cbegin(), gap.cend(), [&](QPoint p) { return isPlain(centre + p); }),
            qPrintable(colours()), patience);
        QVERIFY(xdotool({"keydown", "Escape"}));
        QTRY_VERIFY_WITH_TIMEOUT(!wheel().isVisible(), patience);
        QVERIFY(xdotool({"keyup", "Escape", "mouseup", "1"}));
        QCOMPARE(report(), QByteArray("dropped none"));
    }

    // With the drop handler a user has: the job's panel comes up on screen while LibreOffice
    // works, and the PDF lands beside the document, which stays.
    void docxDroppedOnPdfPetal()
    {
        REQUIRE_SCREEN();
        if (QStandardPaths::findExecutable("soffice").isEmpty())
            QSKIP("soffice is not installed (Debian package libreoffice-writer-nogui)");
        QVERIFY(makeDocx(m_dir.path()));
        m_app = std::make_unique<AppDelegate>();
        m_app->launch();
        Jobs::setPresenter(
            [](const std::shared_ptr<Job>& job, std::optional<QPointF> at) { HUD::shared().show(job, at); });
        const QString docx = m_dir.filePath("Letter.docx");
        ChildProcess source;
        QByteArray said;
        QVERIFY(startDragSource(source, {docx}, said));
        QVERIFY(startDrag({640, 400}));
        QVERIFY(tapKey(QStringLiteral("shift"), WheelMode::conversions));
        QWindow* window = wheel().panel()->windowHandle();
        QTRY_VERIFY_WITH_TIMEOUT(window && window->isExposed(), patience);
        const int index = int(wheel().model().items().indexOf(WheelItem::format("pdf")));
        QVERIFY(index >= 0);
        QVERIFY(xdotool(QStringList{"mousemove"} + at(overPetal(index))));
        QTRY_COMPARE_WITH_TIMEOUT(wheel().model().highlighted(), std::optional<int>(index), patience);
        QVERIFY(xdotool({"mouseup", "1"}));

        HUD& hud = HUD::shared();
        QTRY_VERIFY_WITH_TIMEOUT(!hud.order().isEmpty(), patience);
        QWidget* panel = hud.panel(hud.order().last());
        QTRY_VERIFY_WITH_TIMEOUT(panel->windowHandle() && panel->windowHandle()->isExposed(), patience);
        const std::shared_ptr<Job> job = panel->findChild<HUDView*>()->job();
        QTRY_VERIFY_WITH_TIMEOUT(!job->isRunning(), officePatience);
        QCOMPARE(job->state().phase, Job::Phase::done);
        QCOMPARE(job->results(), QStringList{m_dir.filePath("Letter.pdf")});
        QFile pdf(job->results().first());
        QVERIFY(pdf.open(QIODevice::ReadOnly) && pdf.read(5) == "%PDF-");
        QVERIFY(QFile::exists(docx));
        QCOMPARE(nextLine(source, said, "dropped"), QByteArray("dropped copy"));
    }

  private:
    QTemporaryDir m_dir;
    QStringList m_files;
    std::unique_ptr<AppDelegate> m_app;
    QList<Drop> m_drops;
    ChildProcess m_source;
    QByteArray m_said;
};

X11_TEST_MAIN(WheelX11Test, QApplication, {"xdotool", "xdotool"}, {"xwininfo", "x11-utils"})

#include "test_wheel_x11.moc"
