// Floating windows on a real X server: without a compositor they are cut to their shape and
// painted opaque, with one they are translucent, and they follow a compositor that comes or goes.

#include "platform/compositor.h"
#include "toolkit/floatingpanel.h"
#include "toolkit/framedview.h"
#include "toolkit/toolwindow.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QPainter>

#include "../support/x11test.h"

// Last, for Xlib's macros.
#include "../support/x11screen.h"

namespace {

constexpr int patience = 10000;
const QColor beneath(220, 30, 30);
const QColor ink(0, 0, 255, 100);

QColor over(const QColor& top, const QColor& bottom)
{
    const float a = top.alphaF();
    return QColor::fromRgbF(top.redF() * a + bottom.redF() * (1 - a),
                            top.greenF() * a + bottom.greenF() * (1 - a),
                            top.blueF() * a + bottom.blueF() * (1 - a));
}

bool near(QRgb seen, const QColor& expected)
{
    return std::abs(qRed(seen) - expected.red()) <= 6 && std::abs(qGreen(seen) - expected.green()) <= 6 &&
           std::abs(qBlue(seen) - expected.blue()) <= 6;
}

// A window of one colour under the panel, standing for whatever the user has open.
class Beneath : public QWidget
{
  public:
    Beneath() : QWidget(nullptr, Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint)
    {
        setGeometry(100, 100, 800, 400);
    }

  protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), beneath); }
};

// A disc inset in its 200 × 200 square, drawn in translucent blue.
class Disc : public FloatingPanel
{
  public:
    explicit Disc(Kind kind = Kind::overlay, QPoint at = {200, 200}) : FloatingPanel(QSize(200, 200), kind)
    {
        QPainterPath disc;
        disc.addEllipse(QRectF(20, 20, 160, 160));
        setShape(disc);
        move(at);
    }

  protected:
    void paintEvent(QPaintEvent* event) override
    {
        FloatingPanel::paintEvent(event);
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.fillPath(shape(), ink);
    }
};

const QPoint centre(300, 300), corner(205, 205);

// A framed view whose primary button counts its presses.
struct CountingView : FramedView
{
    int& presses;
    explicit CountingView(int& presses) : FramedView(QStringLiteral("Tool")), presses(presses)
    {
        primary(QStringLiteral("Apply"));
    }
    void apply() override { ++presses; }
};

} // namespace

class FloatingPanelX11Test : public ScreenTest
{
    Q_OBJECT
  public:
    using ScreenTest::ScreenTest;

  private slots:
    void initTestCase()
    {
        if (!m_noScreen.isEmpty()) return;
        QVERIFY(m_screen.isOpen());
        m_beneath.show();
        QTRY_VERIFY_WITH_TIMEOUT(near(m_screen.pixel(corner), beneath), patience);
    }

    void init()
    {
        REQUIRE_SCREEN();
        if (QStandardPaths::findExecutable(QStringLiteral("xcompmgr")).isEmpty())
            QSKIP("xcompmgr is not installed (Debian package xcompmgr)");
        QTRY_VERIFY_WITH_TIMEOUT(!Compositor::shared().running(), patience);
    }

    // Without a compositor the window is cut to the disc and opaque inside it; a compositor that
    // starts while it is up makes it translucent (an alpha channel, no cut: the disc blended over
    // what lies beneath, the corners clear), and when that one goes it is cut again.
    void followsTheCompositor()
    {
        Disc panel;
        panel.show();
        const auto cut = [&] {
            return !panel.isTranslucent() && m_screen.shaped(panel.winId()) &&
                   near(m_screen.pixel(centre), over(ink, FloatingPanel::backdrop())) &&
                   near(m_screen.pixel(corner), beneath);
        };
        QTRY_VERIFY_WITH_TIMEOUT(cut(), patience);
        // Just inside the disc's edge and just outside it, on the diagonal.
        QVERIFY(!near(m_screen.pixel(QPoint(300 - 54, 300 - 54)), beneath));
        QVERIFY(near(m_screen.pixel(QPoint(300 - 59, 300 - 59)), beneath));
        {
            ChildProcess compositor;
            QVERIFY(startCompositor(compositor));
            QTRY_VERIFY_WITH_TIMEOUT(panel.isTranslucent() && !m_screen.shaped(panel.winId()) &&
                                         near(m_screen.pixel(centre), over(ink, beneath)),
                                     patience);
            QCOMPARE(m_screen.depth(panel.winId()), 32);
            QVERIFY(near(m_screen.pixel(corner), beneath));
        }
        QTRY_VERIFY_WITH_TIMEOUT(cut(), patience);

        // Hidden and shown again, it asks afresh.
        panel.hide();
        ChildProcess compositor;
        QVERIFY(startCompositor(compositor));
        panel.show();
        QVERIFY(panel.isTranslucent());
        QVERIFY(!m_screen.shaped(panel.winId()));
    }

    // A tool window takes the keyboard, unlike the panels: Return reaches its primary button.
    // It is an opaque square without a compositor and has rounded corners over one.
    void toolWindowTakesKeysAndRoundsOverACompositor()
    {
        int pressed = 0;
        ToolWindow window(new CountingView(pressed), QSize(200, 200));
        window.move(200, 200);
        window.show();
        window.activateWindow();
        const QPoint edge(201, 201);
        QTRY_VERIFY_WITH_TIMEOUT(!window.isTranslucent() && !near(m_screen.pixel(edge), beneath), patience);
        QTRY_VERIFY_WITH_TIMEOUT(window.isActiveWindow(), patience);
        QVERIFY(xdotool({"key", "Return"}));
        QTRY_COMPARE_WITH_TIMEOUT(pressed, 1, patience);

        ChildProcess compositor;
        QVERIFY(startCompositor(compositor));
        QTRY_VERIFY_WITH_TIMEOUT(window.isTranslucent() && near(m_screen.pixel(edge), beneath), patience);
        QVERIFY(!near(m_screen.pixel(QPoint(300, 300)), beneath));
    }

    // Panels (progress panels, the shelf) show on every workspace, above the rest as before; tool
    // windows stay on the workspace they opened on.
    void panelsShowOnEveryWorkspace()
    {
        FloatingPanel panel(QSize(100, 60), FloatingPanel::Kind::panel);
        FloatingPanel window(QSize(100, 60), FloatingPanel::Kind::window);
        panel.show();
        window.show();
        QTRY_VERIFY_WITH_TIMEOUT(panel.windowHandle()->isExposed() && window.windowHandle()->isExposed(),
                                 patience);
        const unsigned long sticky = m_screen.atom("_NET_WM_STATE_STICKY");
        QCOMPARE(m_screen.values(panel.winId(), "_NET_WM_DESKTOP"), QList<unsigned long>{0xFFFFFFFF});
        const QList<unsigned long> states = m_screen.values(panel.winId(), "_NET_WM_STATE");
        QVERIFY(states.contains(sticky) && states.contains(m_screen.atom("_NET_WM_STATE_ABOVE")));
        QVERIFY(m_screen.values(window.winId(), "_NET_WM_DESKTOP").isEmpty());
        QVERIFY(!m_screen.values(window.winId(), "_NET_WM_STATE").contains(sticky));
    }

    // Over a compositor that draws shadows, windows that existed before it started and moved
    // while hidden (as the wheel does before each drag) keep no shadow under their clear corners
    // or beside them; once hidden, nothing of them stays on screen.
    void leavesNoShadow()
    {
        Disc overlay;
        Disc panel(FloatingPanel::Kind::panel, {550, 200});
        overlay.winId();
        panel.winId();
        ChildProcess compositor;
        QVERIFY(startCompositor(compositor, {"-c"}));
        overlay.move(200, 210);
        panel.move(560, 200);
        overlay.show();
        panel.show();
        const QList<QPoint> origins{overlay.pos(), panel.pos()};
        const auto all = [&](const QList<QPoint>& offsets, const QColor& colour) {
            for (const QPoint o : origins) {
                for (const QPoint p : offsets)
                    if (!near(m_screen.pixel(o + p), colour)) return false;
            }
            return true;
        };
        // In the square but clear of the disc, and just past the square.
        const QList<QPoint> corners{{5, 5}, {195, 195}, {210, 210}};
        QTRY_VERIFY_WITH_TIMEOUT(all({{100, 100}}, over(ink, beneath)) && all(corners, beneath), patience);
        overlay.hide();
        panel.hide();
        QTRY_VERIFY_WITH_TIMEOUT(all(corners + QList<QPoint>{{100, 100}}, beneath), patience);
    }

  private:
    // True once xcompmgr owns the compositing selection.
    static bool startCompositor(ChildProcess& compositor, const QStringList& args = {})
    {
        compositor.setStandardErrorFile(QProcess::nullDevice());
        compositor.start(QStringLiteral("xcompmgr"), args);
        return compositor.waitForStarted() &&
               QTest::qWaitFor([] { return Compositor::shared().running(); }, patience);
    }

    X11Screen m_screen;
    Beneath m_beneath;
};

X11_TEST_MAIN(FloatingPanelX11Test, QApplication)

#include "test_floatingpanel_x11.moc"
