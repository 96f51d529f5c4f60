#include "app/appdelegate.h"
#include "app/appicon.h"
#include "core/settings.h"
#include "platform/dragsource.h"
#include "toolkit/primarybutton.h"
#include "windows/welcome/welcomeview.h"

#include <QMenu>
#include <QPainter>
#include <QSettings>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>

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

    // A first launch shows the welcome window; closing it leaves the user to be welcomed again,
    // "Got It" does not. The menu's "How Tolvane Works…" brings the same window back, and a
    // second start of the program brings the settings forward.
    void welcomeAndSettingsOpen()
    {
        QTemporaryDir data;
        qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
        AppDelegate app(std::make_unique<DragMonitor>(std::unique_ptr<DragSource>()));
        app.launch();
        QTRY_VERIFY_WITH_TIMEOUT(app.welcomeWindow() && app.welcomeWindow()->isVisible(), 10000);
        QWidget* welcome = app.welcomeWindow();
        QCOMPARE(welcome->size(), QSize(640, 520));
        QVERIFY(welcome->findChild<WelcomeView*>());
        QVERIFY(QFileInfo(data.filePath("Tolvane/Tolvane Sample.png")).isFile());
        welcome->close();
        QVERIFY(!welcome->isVisible());
        QCOMPARE(Settings::shared().onboarded(), false);

        QAction* howItWorks = nullptr;
        for (QAction* action : app.trayIcon()->contextMenu()->actions())
            if (action->text() == "How Tolvane Works…") howItWorks = action;
        QVERIFY(howItWorks);
        howItWorks->trigger();
        QCOMPARE(app.welcomeWindow(), welcome);
        QVERIFY(welcome->isVisible());
        welcome->findChild<PrimaryButton*>()->click();
        QVERIFY(!welcome->isVisible());
        QCOMPARE(Settings::store()->value("onboarded").toBool(), true);

        QVERIFY(!app.settingsWindow());
        app.reopen();
        QVERIFY(app.settingsWindow() && app.settingsWindow()->isVisible());
        QCOMPARE(app.settingsWindow()->size(), QSize(540, 680));
        qunsetenv("XDG_DATA_HOME");
    }

    void menuFollowsTheSettingsAtEveryOpening()
    {
        QCOMPARE(texts(), (QStringList{"Drag a file, then tap a key", "⇧  Convert", "⎇  Tools", "⌃  Actions",
                                       "---", "Pause Tolvane", "Open Float Shelf", "---",
                                       "How Tolvane Works…", "Settings…", "---", "Quit Tolvane"}));

        Settings::shared().setToolsKey(ModifierKey::shift);
        Settings::shared().setActionsKey(ModifierKey::command);
        QCOMPARE(texts().mid(1, 3), (QStringList{"⇧  Convert", "⇧  Tools", "❖  Actions"}));
    }

    // Over a dark and a light panel, at both pixel ratios, much of the glyph differs clearly from
    // the panel: its light marks over the one, their dark halo over the other.
    void glyphReadsOnDarkAndLightPanels()
    {
        for (const double ratio : {1.0, 2.0})
            for (const QColor panel : {QColor(0x20, 0x20, 0x24), QColor(0xf2, 0xf2, 0xf0)}) {
                const QImage glyph = AppIcon::menuBarImage(ratio);
                QImage shown(glyph.size(), QImage::Format_RGB32);
                shown.fill(panel);
                shown.setDevicePixelRatio(ratio);
                QPainter(&shown).drawImage(0, 0, glyph);
                int clear = 0;
                for (int y = 0; y < shown.height(); ++y)
                    for (int x = 0; x < shown.width(); ++x)
                        clear += std::abs(luma(shown.pixel(x, y)) - luma(panel.rgb())) >= 120;
                QVERIFY2(clear >= 0.3 * ink(glyph),
                         qPrintable(QString("%1x over %2").arg(ratio).arg(panel.name())));
            }
    }

    // A pause shows in the menu and the dimmed tray icon from start-up on, whoever changes the
    // setting; the menu's toggle ends it, and a relaunch keeps what it chose.
    void pauseShowsInMenuAndIcon()
    {
        Settings::shared().setEnabled(false);
        AppDelegate app(std::make_unique<DragMonitor>(std::unique_ptr<DragSource>()));
        app.launch();
        QSystemTrayIcon* tray = app.trayIcon();
        QVERIFY(tray);
        const double active = ink(AppIcon::menuBarImage());
        QVERIFY(ink(*tray) < 0.6 * active);
        QCOMPARE(texts(), (QStringList{"Tolvane is paused", "---", "Resume Tolvane", "Open Float Shelf",
                                       "---", "How Tolvane Works…", "Settings…", "---", "Quit Tolvane"}));
        app.toggleEnabled();
        QCOMPARE(ink(*tray), active);
        QCOMPARE(texts().first(), QString("Drag a file, then tap a key"));
        QCOMPARE(Settings::store()->value("enabled").toBool(), true);
        Settings::shared().setEnabled(false);
        QVERIFY(ink(*tray) < 0.6 * active);
    }
};

QTEST_MAIN(AppDelegateTest)
#include "test_appdelegate.moc"
