// The wheel on a real X server where no compositor runs: cut to its outline, opaque within it, and
// named for the window lists. (How floating windows follow a compositor is the toolkit's test.)

#include "app/wheelcontroller.h"
#include "app/wheelpanel.h"
#include "core/settings.h"
#include "platform/compositor.h"

#include <QApplication>
#include <QPainter>
#include <QTemporaryDir>
#include <cmath>

#include "../support/x11test.h"

// Last, for Xlib's macros.
#include "../support/x11screen.h"

namespace {

constexpr int patience = 10000;
const QColor beneath(220, 30, 30);
const QPoint wheelCentre(640, 360);

bool isBeneath(QRgb c)
{
    return std::abs(qRed(c) - beneath.red()) <= 6 && std::abs(qGreen(c) - beneath.green()) <= 6 &&
           std::abs(qBlue(c) - beneath.blue()) <= 6;
}

// The ring's light grey drawn opaque: over the black of an unused alpha channel it would be
// darker, over the red beneath it would redden.
bool isOpaqueGrey(QRgb c)
{
    return std::abs(qRed(c) - qGreen(c)) <= 12 && qRed(c) > 200;
}

// A point `radius` from the wheel's centre, straight up (where no petal shadow falls).
QPoint above(double radius)
{
    return wheelCentre - QPoint(0, int(std::lround(radius)));
}

// A window of one colour under the floating windows, standing for whatever the user has open.
class Beneath : public QWidget
{
  public:
    Beneath() : QWidget(nullptr, Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint)
    {
        setGeometry(300, 100, 700, 650);
    }

  protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), beneath); }
};

} // namespace

class FloatingWindowsX11Test : public ScreenTest
{
    Q_OBJECT
  public:
    using ScreenTest::ScreenTest;

  private slots:
    void initTestCase()
    {
        if (!m_noScreen.isEmpty()) return;
        Settings::shared().setHighlightSound(false);
        QVERIFY(m_screen.isOpen() && m_files.isValid());
        m_photo = m_files.filePath(QStringLiteral("photo.png"));
        QFile photo(m_photo);
        QVERIFY(photo.open(QIODevice::WriteOnly) && photo.write(QByteArray(2048, 'x')) == 2048);
        m_beneath.show();
        QTRY_VERIFY_WITH_TIMEOUT(isBeneath(m_screen.pixel(wheelCentre)), patience);
    }

    void init() { REQUIRE_SCREEN(); }

    // Just outside the ring, in the window's corner and in the gap between the centre disc and the
    // ring the screen shows what lies beneath; on the ring it shows the wheel, opaque. Window lists
    // and tools that read only WM_NAME see the wheel by name.
    void wheelWithoutCompositor()
    {
        QVERIFY(!Compositor::shared().running());
        WheelController wheel;
        wheel.show(WheelMode::conversions, {m_photo}, wheelCentre);
        QTRY_VERIFY_WITH_TIMEOUT(!isBeneath(m_screen.pixel(above(122))), patience);
        QVERIFY(isBeneath(m_screen.pixel(above(130))));
        QVERIFY(isBeneath(m_screen.pixel(wheelCentre - QPoint(150, 150))));
        QVERIFY(isBeneath(m_screen.pixel(above(39))));
        QTRY_VERIFY_WITH_TIMEOUT(isOpaqueGrey(m_screen.pixel(above(122))), patience);
        const unsigned long window = wheel.panel()->winId();
        QVERIFY(m_screen.shaped(window));
        QCOMPARE(m_screen.text(window, "WM_NAME"), QByteArray("Tolvane"));
        QCOMPARE(m_screen.text(window, "_NET_WM_NAME"), QByteArray("Tolvane"));
        wheel.hide(false);
    }

  private:
    X11Screen m_screen;
    Beneath m_beneath;
    QTemporaryDir m_files;
    QString m_photo;
};

X11_TEST_MAIN(FloatingWindowsX11Test, QApplication)

#include "test_floatingwindows_x11.moc"
