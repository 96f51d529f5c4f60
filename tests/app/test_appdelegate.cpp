#include "app/appdelegate.h"
#include "core/settings.h"

#include <QSettings>
#include <QtTest>

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
