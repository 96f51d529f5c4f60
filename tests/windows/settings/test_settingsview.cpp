// The settings window: each control writes its setting, the rows that depend on others follow
// them, the login entry is written and removed for real, and the engines' rows tell the truth.

#include "core/hudorigin.h"
#include "core/settings.h"
#include "platform/autostart.h"
#include "toolkit/orangeswitch.h"
#include "toolkit/primarybutton.h"
#include "toolkit/secondarybutton.h"
#include "toolkit/segmented.h"
#include "toolkit/settingrow.h"
#include "toolkit/sliderrow.h"
#include "toolkit/toolwindow.h"
#include "windows/keptwindow.h"
#include "windows/settings/settingsview.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

namespace {

SettingRow* row(const QWidget& view, const QString& label)
{
    for (SettingRow* r : view.findChildren<SettingRow*>())
        if (r->label() == label || r->label().startsWith(label)) return r;
    return nullptr;
}

template <typename Control> Control* control(const QWidget& view, const QString& label)
{
    SettingRow* r = row(view, label);
    return r ? r->findChild<Control*>() : nullptr;
}

// Clicks segment `index` of a segmented control, whose segments are laid out left to right.
void clickSegment(Segmented* segments, int index)
{
    const QList<QRectF> rects =
        Segmented::segmentRects(Segmented::textWidths(segments->options(), segments->selected(), segments));
    QTest::mouseClick(segments, Qt::LeftButton, {}, rects.at(index).center().toPoint());
}

// Whether the switch is drawn on: where its knob rests when off, only an on switch shows its
// orange track. Waits for the knob to come to rest.
bool drawnOn(OrangeSwitch* toggle)
{
    if (!QTest::qWaitFor([toggle] { return !toggle->isAnimating(); })) return false;
    const QImage image = toggle->grab().toImage();
    const QRgb c = image.pixel(image.height() / 2, image.height() / 2);
    return qRed(c) > 220 && qGreen(c) < 160 && qBlue(c) < 90;
}

bool visibleIn(const QWidget* widget, const QWidget& view)
{
    return widget && widget->isVisibleTo(&view);
}

} // namespace

class SettingsViewTest : public QObject
{
    Q_OBJECT

  private slots:
    void init()
    {
        Settings::store()->clear();
        Settings::shared().reload();
        QFile::remove(Autostart::entryPath());
    }

    // Two wheels on one key warn until each has its own again.
    void clashingKeysWarn()
    {
        SettingsView view;
        view.resize(540, 680);
        view.show();
        QLabel* warning = nullptr;
        for (QLabel* label : view.findChildren<QLabel*>())
            if (label->text() == "Each wheel needs its own key.") warning = label;
        QVERIFY(warning);
        QVERIFY(!visibleIn(warning, view));

        Segmented* tools = control<Segmented>(view, "Tools");
        QCOMPARE(tools->options().at(3), QString("⎇ Alt"));
        QCOMPARE(tools->selected(), 3);
        clickSegment(tools, 0); // Shift, already the convert key
        QCOMPARE(Settings::shared().toolsKey(), ModifierKey::shift);
        QVERIFY(view.keysClash());
        QVERIFY(visibleIn(warning, view));
        clickSegment(tools, 1);
        QCOMPARE(Settings::shared().toolsKey(), ModifierKey::command);
        QVERIFY(!visibleIn(warning, view));
    }

    // The folder row shows only while results go to a folder, with the home folder as "~".
    void folderRowFollowsTheLocation()
    {
        Settings::shared().setOutputFolder(QDir::homePath() + "/Converted/2026");
        SettingsView view;
        view.show();
        QLabel* path = view.findChild<QLabel*>("folderPath");
        QVERIFY(path && !visibleIn(path, view));
        clickSegment(control<Segmented>(view, "Save results"), 1);
        QCOMPARE(Settings::shared().saveLocation(), SaveLocation::folder);
        QVERIFY(visibleIn(path, view));
        QCOMPARE(path->text(), QString("~/Converted/2026"));
        Settings::shared().setSaveLocation(SaveLocation::besideOriginal);
        QVERIFY(!visibleIn(path, view));
        QCOMPARE(control<Segmented>(view, "Save results")->selected(), 0);
    }

    // Reset Position forgets the panel's place and can't be pressed again.
    void resetPositionForgetsThePanelsPlace()
    {
        HUDOrigin::save(QPointF(40, 50));
        SettingsView view;
        SettingRow* progress = row(view, "Progress window");
        auto* reset = progress->findChild<SecondaryButton*>();
        QCOMPARE(progress->note(), QString("Opens where you last dragged it."));
        QVERIFY(reset->isEnabled());
        reset->click();
        QVERIFY(!Settings::store()->contains("hudOrigin"));
        QVERIFY(!reset->isEnabled());
        QCOMPARE(progress->note(),
                 QString("Opens near the cursor. Drag it anywhere and it opens there next time."));
    }

    // The quality reads in whole percent, 0.88 as 88% (not 87), from 50% to 100%.
    void qualityInWholePercent()
    {
        SettingsView view;
        auto* quality = view.findChild<SliderRow*>();
        QLabel* text = nullptr;
        for (QLabel* label : quality->findChildren<QLabel*>())
            if (label->text().endsWith('%')) text = label;
        QVERIFY(text);
        QCOMPARE(text->text(), QString("88%"));
        for (const auto& [value, shown] : {std::pair{0.5, "50%"}, {0.57, "57%"}, {1.0, "100%"}}) {
            Settings::shared().setImageQuality(value);
            QCOMPARE(text->text(), QString(shown));
        }
    }

    // Switches and choices write their settings; the master switch names its state.
    void switchesWriteTheirSettings()
    {
        SettingsView view;
        control<OrangeSwitch>(view, "Show results in the file manager")->click();
        QVERIFY(Settings::shared().revealInFinder());
        control<OrangeSwitch>(view, "Tick sound when a petal lights up")->click();
        QVERIFY(!Settings::shared().highlightSound());
        clickSegment(control<Segmented>(view, "Terminal action opens"), 1);
        QCOMPARE(Settings::shared().terminalApp(), TerminalApp::iterm);
        clickSegment(control<Segmented>(view, "PDF page images"), 3);
        QCOMPARE(Settings::shared().pdfDPI(), 600.0);
        QVERIFY(!row(view, "Trackpad haptics"));

        SettingRow* master = row(view, "Tolvane is");
        QCOMPARE(master->label(), QString("Tolvane is on"));
        master->findChild<OrangeSwitch*>()->click();
        QVERIFY(!Settings::shared().enabled());
        QCOMPARE(master->label(), QString("Tolvane is paused"));
        Settings::shared().setEnabled(true); // from the tray menu
        QCOMPARE(master->label(), QString("Tolvane is on"));
        QVERIFY(master->findChild<OrangeSwitch*>()->isChecked());
    }

    // Every switch shows its setting, also when the setting changes elsewhere: the tray's Pause
    // leaves the master switch drawn off, and a click on it then resumes.
    void switchesFollowTheirSettings()
    {
        Settings& s = Settings::shared();
        SettingsView view;
        view.resize(540, 680);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        using Row = std::tuple<QString, bool (Settings::*)() const, void (Settings::*)(bool)>;
        const Row rows[] = {
            {"Show results in the file manager", &Settings::revealInFinder, &Settings::setRevealInFinder},
            {"Tick sound when a petal lights up", &Settings::highlightSound, &Settings::setHighlightSound},
            {"Tolvane is", &Settings::enabled, &Settings::setEnabled},
        };
        for (const auto& [label, get, set] : rows) {
            auto* toggle = control<OrangeSwitch>(view, label);
            QVERIFY(toggle);
            const bool start = (s.*get)();
            QCOMPARE(drawnOn(toggle), start);
            for (bool on : {!start, start}) {
                (s.*set)(on);
                QVERIFY2(toggle->isChecked() == on && drawnOn(toggle) == on, qPrintable(label));
            }
        }

        s.setEnabled(false); // from the tray menu
        SettingRow* master = row(view, "Tolvane is");
        QCOMPARE(master->label(), QString("Tolvane is paused"));
        auto* toggle = master->findChild<OrangeSwitch*>();
        QVERIFY(!drawnOn(toggle));
        toggle->click();
        QVERIFY(s.enabled());
        QVERIFY(drawnOn(toggle));
    }

    // The user's mouse click moves the knob with the setting, and a view opened again draws
    // what was chosen, so the next click does what the user sees.
    void mouseClicksShowTheirSetting()
    {
        Settings& s = Settings::shared();
        const std::pair<QString, std::function<bool()>> rows[] = {
            {"Tick sound when a petal lights up", [&s] { return s.highlightSound(); }},
            {"Tolvane is", [&s] { return s.enabled(); }},
            {"Open at login", [] { return Autostart::isEnabled(); }},
        };
        for (const auto& [label, stored] : rows) {
            for (int click = 0; click < 2; ++click) {
                const bool before = stored();
                {
                    SettingsView view;
                    view.resize(540, 680);
                    view.show();
                    QVERIFY(QTest::qWaitForWindowExposed(&view));
                    auto* toggle = control<OrangeSwitch>(view, label);
                    QVERIFY2(toggle, qPrintable(label));
                    QCOMPARE(drawnOn(toggle), before);
                    QTest::mouseClick(toggle, Qt::LeftButton);
                    QVERIFY2(stored() == !before, qPrintable(label));
                    QVERIFY2(drawnOn(toggle) == !before, qPrintable(label));
                }
                SettingsView again;
                again.resize(540, 680);
                again.show();
                QVERIFY(QTest::qWaitForWindowExposed(&again));
                QVERIFY2(drawnOn(control<OrangeSwitch>(again, label)) == !before, qPrintable(label));
            }
        }
        SettingsView view;
        QCOMPARE(row(view, "Tolvane is")->label(), QString("Tolvane is on"));
    }

    // "Open at login" writes an autostart entry that starts this program, and removes it; when
    // the entry can't be written the switch stays off and says why.
    void openAtLoginWritesTheEntry()
    {
        SettingsView view;
        auto* login = control<OrangeSwitch>(view, "Open at login");
        QVERIFY(!login->isChecked());
        login->click();
        QFile entry(Autostart::entryPath());
        QVERIFY(entry.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(entry.readAll());
        QVERIFY2(text.contains("Exec=\"" + QCoreApplication::applicationFilePath() + '"'), qPrintable(text));
        QVERIFY(Autostart::isEnabled() && login->isChecked());
        login->click();
        QVERIFY(!QFile::exists(Autostart::entryPath()));
        QVERIFY(!login->isChecked());

        // A file where the autostart folder should be: nothing can be written there.
        const QString folder = QFileInfo(Autostart::entryPath()).absolutePath();
        QVERIFY(QDir(folder).removeRecursively());
        QFile blocker(folder);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        login->click();
        QVERIFY(!login->isChecked());
        QVERIFY(!drawnOn(login));
        QVERIFY(row(view, "Open at login")->note().startsWith("Couldn’t"));
        QVERIFY(QFile::remove(folder));
        login->click();
        QVERIFY(login->isChecked());
        QVERIFY(drawnOn(login));
        QCOMPARE(row(view, "Open at login")->note(), QString());
        login->click();
    }

    // A hidden entry (a desktop's own settings turned it off) doesn't count as on; the program
    // path is quoted as desktop entries need it.
    void autostartEntryDetails()
    {
        QVERIFY(!Autostart::setEnabled(true, "/opt/my apps/tol$vane"));
        QFile entry(Autostart::entryPath());
        QVERIFY(entry.open(QIODevice::ReadOnly));
        QVERIFY(entry.readAll().contains("Exec=\"/opt/my apps/tol\\\\$vane\"\n"));
        entry.close();
        QVERIFY(Autostart::isEnabled());
        QVERIFY(entry.open(QIODevice::Append));
        entry.write("Hidden=true\n");
        entry.close();
        QVERIFY(!Autostart::isEnabled());
        QVERIFY(!Autostart::setEnabled(false, {}));
        QVERIFY(!QFile::exists(Autostart::entryPath()));
    }

    // Missing programs show their install command; found ones don't.
    void enginesTellWhatIsMissing()
    {
        QTemporaryDir bin;
        QFile ffmpeg(bin.filePath("ffmpeg"));
        QVERIFY(ffmpeg.open(QIODevice::WriteOnly));
        ffmpeg.close();
        ffmpeg.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
        qputenv("TOLVANE_SEARCH_PATH", QFile::encodeName(bin.path()));
        const QList<SettingsView::Engine> engines = SettingsView::engines();
        SettingsView view;
        qunsetenv("TOLVANE_SEARCH_PATH");
        QCOMPARE(engines.size(), 5);
        QVERIFY(engines[0].ok);
        QVERIFY(!engines[1].ok);
        QStringList fixes;
        for (QLabel* label : view.findChildren<QLabel*>("fix"))
            fixes << label->text();
        QVERIFY(fixes.contains("sudo apt install webp"));
        QVERIFY(!fixes.contains("sudo apt install ffmpeg"));
        QVERIFY(view.findChildren<QLabel*>("fix").first()->textInteractionFlags() &
                Qt::TextSelectableByMouse);
    }

    // Done closes the window, which stays to be shown again with the same view.
    void doneClosesTheKeptWindow()
    {
        SettingsView* view = nullptr;
        KeptWindow kept([&view] { return new ToolWindow(view = new SettingsView, QSize(540, 680)); });
        QWidget* window = kept.show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QCOMPARE(window->size(), QSize(540, 680));
        QVERIFY(view->primaryButton()->isEnabled());
        view->primaryButton()->click();
        QTRY_VERIFY(!window->isVisible());
        QCOMPARE(kept.show(), window);
        QVERIFY(window->isVisible());
    }
};

QTEST_MAIN(SettingsViewTest)
#include "test_settingsview.moc"
