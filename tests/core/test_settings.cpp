#include "core/settings.h"

#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

class SettingsTest : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        Settings::store()->clear();
        Settings::shared().reload();
    }

    void storeLivesUnderTheConfigHome()
    {
        const QString home = qEnvironmentVariable("XDG_CONFIG_HOME");
        QVERIFY(!home.isEmpty());
        QCOMPARE(Settings::store()->fileName(), home + "/Tolvane/Tolvane.conf");
    }

    void firstLaunchDefaults()
    {
        const Settings& s = Settings::shared();
        QCOMPARE(s.convertKey(), ModifierKey::shift);
        QCOMPARE(s.toolsKey(), ModifierKey::option);
        QCOMPARE(s.actionsKey(), ModifierKey::control);
        QCOMPARE(s.saveLocation(), SaveLocation::besideOriginal);
        QCOMPARE(s.outputFolder(), QStandardPaths::writableLocation(QStandardPaths::DownloadLocation));
        QCOMPARE(s.imageQuality(), 0.88);
        QCOMPARE(s.pdfDPI(), 300.0);
        QVERIFY(s.highlightSound());
        QVERIFY(s.haptics());
        QVERIFY(!s.revealInFinder());
        QCOMPARE(s.terminalApp(), TerminalApp::terminal);
        QVERIFY(s.enabled());
        QVERIFY(!s.onboarded());
        // Reading never writes: the store stays empty.
        QVERIFY(Settings::store()->allKeys().isEmpty());
    }

    void tolerantReading_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QVariant>("expected");
        QTest::newRow("unknown key name") << "convertKey" << QVariant("fn") << QVariant::fromValue(ModifierKey::shift);
        QTest::newRow("wrong case folder") << "saveLocation" << QVariant("Folder")
                                           << QVariant::fromValue(SaveLocation::besideOriginal);
        QTest::newRow("wrong case iterm") << "terminalApp" << QVariant("iTerm")
                                          << QVariant::fromValue(TerminalApp::terminal);
        QTest::newRow("quality text") << "imageQuality" << QVariant("lots") << QVariant(0.88);
        QTest::newRow("quality too high") << "imageQuality" << QVariant(5.0) << QVariant(1.0);
        QTest::newRow("quality nan") << "imageQuality" << QVariant("nan") << QVariant(0.88);
        QTest::newRow("dpi negative") << "pdfDPI" << QVariant(-3) << QVariant(Settings::minPdfDPI);
        QTest::newRow("dpi ok") << "pdfDPI" << QVariant("150") << QVariant(150.0);
        QTest::newRow("bool garbage") << "enabled" << QVariant("maybe") << QVariant(true);
        QTest::newRow("bool false text") << "enabled" << QVariant("false") << QVariant(false);
    }

    void tolerantReading()
    {
        QFETCH(QString, key);
        QFETCH(QVariant, stored);
        QFETCH(QVariant, expected);
        Settings::store()->setValue(key, stored);
        Settings& s = Settings::shared();
        s.reload();
        QVariant actual;
        if (key == "convertKey") actual = QVariant::fromValue(s.convertKey());
        if (key == "saveLocation") actual = QVariant::fromValue(s.saveLocation());
        if (key == "terminalApp") actual = QVariant::fromValue(s.terminalApp());
        if (key == "imageQuality") actual = s.imageQuality();
        if (key == "pdfDPI") actual = s.pdfDPI();
        if (key == "enabled") actual = s.enabled();
        QCOMPARE(actual, expected);
        // The stored text is left as the user wrote it.
        QCOMPARE(Settings::store()->value(key).toString(), stored.toString());
    }

    void changesAreWrittenAtOnceAndAnnounced()
    {
        Settings& s = Settings::shared();
        QSignalSpy spy(&s, &Settings::toolsKeyChanged);
        s.setToolsKey(ModifierKey::command);
        s.setToolsKey(ModifierKey::command);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(Settings::store()->value("toolsKey").toString(), QString("command"));

        s.setImageQuality(0.5);
        s.setRevealInFinder(true);
        s.setSaveLocation(SaveLocation::folder);
        s.reload(); // as a relaunch would
        QCOMPARE(s.toolsKey(), ModifierKey::command);
        QCOMPARE(s.imageQuality(), 0.5);
        QVERIFY(s.revealInFinder());
        QCOMPARE(s.saveLocation(), SaveLocation::folder);
    }

    void outputDirectory()
    {
        QTemporaryDir dir;
        const QString sourceFolder = dir.filePath("in");
        const QString out = dir.filePath("Converted");
        QVERIFY(QDir().mkpath(sourceFolder));
        QVERIFY(QDir().mkpath(out));
        const QString source = sourceFolder + "/clip.mov";
        Settings& s = Settings::shared();

        QCOMPARE(s.outputDirectory(source), sourceFolder); // beside the original

        s.setSaveLocation(SaveLocation::folder);
        s.setOutputFolder(out);
        QCOMPARE(s.outputDirectory(source), out);

        QVERIFY(QDir(out).removeRecursively()); // the chosen folder went away
        QCOMPARE(s.outputDirectory(source), sourceFolder);

        QFile file(out); // a file where the folder was
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QCOMPARE(s.outputDirectory(source), sourceFolder);

        qputenv("HOME", dir.path().toUtf8());
        s.setOutputFolder("~/in");
        QCOMPARE(s.outputDirectory("/elsewhere/x.png"), sourceFolder);
    }
};

QTEST_GUILESS_MAIN(SettingsTest)
#include "test_settings.moc"
