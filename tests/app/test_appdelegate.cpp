#include "app/appdelegate.h"
#include "app/appicon.h"
#include "core/settings.h"
#include "platform/dragsource.h"

#include <QPainter>
#include <QSettings>
#include <QSystemTrayIcon>
#include <QtTest>
#include <cmath>
#include <numbers>

// How much of the glyph there is: the sum of its pixels' opacity.
static double ink(const QImage& glyph)
{
    double sum = 0;
    for (int y = 0; y < glyph.height(); ++y)
        for (int x = 0; x < glyph.width(); ++x)
            sum += qAlpha(glyph.pixel(x, y));
    return sum / 255;
}

static double ink(const QSystemTrayIcon& tray)
{
    return ink(tray.icon().pixmap(18).toImage());
}

static int luma(QRgb c)
{
    return (qRed(c) * 299 + qGreen(c) * 587 + qBlue(c) * 114) / 1000;
}

class AppDelegateTest : public QObject
{
    Q_OBJECT

    static QStringList texts()
    {
        QStringList out;
        for (const auto& e : AppDelegate::menuEntries())
            out << (e.action == AppDelegate::MenuEntry::Action::separator ? QString("---") : e.text);
        return out;
    }

  private slots:
    void init()
    {
        Settings::store()->clear();
        Settings::shared().reload();
    }

    void menuFollowsTheSettingsAtEveryOpening()
    {
        QCOMPARE(texts(), (QStringList{"Drag a file, then tap a key", "⇧  Convert", "⎇  Tools", "⌃  Actions",
                                       "---", "Pause Tolvane", "Open Float Shelf", "---",
                                       "How Tolvane Works…", "Settings…", "---", "Quit Tolvane"}));
        // Only the status and mode lines are informational.
        for (const auto& e : AppDelegate::menuEntries())
            if (e.text.contains("  ") || e.text.startsWith("Drag"))
                QCOMPARE(e.action, AppDelegate::MenuEntry::Action::none);

        Settings::shared().setToolsKey(ModifierKey::shift);
        Settings::shared().setActionsKey(ModifierKey::command);
        QCOMPARE(texts().mid(1, 3), (QStringList{"⇧  Convert", "⇧  Tools", "❖  Actions"}));
    }

    // Over a dark and a light panel, every mark of the glyph (ring, each spoke, hub) stands out:
    // within half a mark's width of it some pixel differs clearly from the panel.
    void glyphReadsOnDarkAndLightPanels()
    {
        QList<QPointF> marks{{9, 1.5}, {9, 9}}; // the ring's top, the hub
        for (int k = 0; k < 7; ++k) {
            const double theta = std::numbers::pi / 2 - k * 2 * std::numbers::pi / 7;
            marks << QPointF(9 + 4.6 * std::cos(theta), 9 - 4.6 * std::sin(theta));
        }
        for (const double ratio : {1.0, 2.0}) {
            for (const QColor panel : {QColor(0x20, 0x20, 0x24), QColor(0xf2, 0xf2, 0xf0)}) {
                const QImage glyph = AppIcon::menuBarImage(ratio);
                QImage shown(glyph.size(), QImage::Format_RGB32);
                shown.fill(panel);
                shown.setDevicePixelRatio(ratio);
                QPainter(&shown).drawImage(0, 0, glyph);
                for (const QPointF mark : marks) {
                    int contrast = 0;
                    const QPoint at = (mark * ratio).toPoint();
                    const int reach = int(std::ceil(1.5 * ratio));
                    for (int dy = -reach; dy <= reach; ++dy)
                        for (int dx = -reach; dx <= reach; ++dx) {
                            const QPoint p = at + QPoint(dx, dy);
                            if (shown.rect().contains(p))
                                contrast =
                                    std::max(contrast, std::abs(luma(shown.pixel(p)) - luma(panel.rgb())));
                        }
                    QVERIFY2(contrast >= 120, qPrintable(QStringLiteral("%1x, panel %2, mark (%3, %4): %5")
                                                             .arg(ratio)
                                                             .arg(panel.name())
                                                             .arg(mark.x())
                                                             .arg(mark.y())
                                                             .arg(contrast)));
                }
            }
        }
    }

    // The tray icon is dimmed whenever the app is paused: from start-up on, and whoever changes
    // the setting.
    void trayIconShowsThePause()
    {
        Settings::shared().setEnabled(false);
        AppDelegate app(std::make_unique<DragMonitor>(std::unique_ptr<DragSource>()));
        app.launch();
        QSystemTrayIcon* tray = app.trayIcon();
        QVERIFY(tray);
        const double active = ink(AppIcon::menuBarImage());
        QVERIFY(ink(*tray) < 0.6 * active);
        app.toggleEnabled();
        QCOMPARE(ink(*tray), active);
        Settings::shared().setEnabled(false);
        QVERIFY(ink(*tray) < 0.6 * active);
    }

    void pauseAndResume()
    {
        AppDelegate app;
        app.toggleEnabled();
        QVERIFY(!Settings::shared().enabled());
        QCOMPARE(Settings::store()->value("enabled").toBool(), false);
        QCOMPARE(texts(), (QStringList{"Tolvane is paused", "---", "Resume Tolvane", "Open Float Shelf",
                                       "---", "How Tolvane Works…", "Settings…", "---", "Quit Tolvane"}));
        app.toggleEnabled();
        QVERIFY(Settings::shared().enabled());
        QCOMPARE(texts().first(), QString("Drag a file, then tap a key"));
    }
};

QTEST_MAIN(AppDelegateTest)
#include "test_appdelegate.moc"
