#include "core/settings.h"

#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

class SettingsTest : public QObject
{
    Q_OBJECT
    Settings& m_settings = Settings::shared();

  private slots:
    void init()
    {
        Settings::store()->clear();
        m_settings.reload();
    }

    void firstLaunchDefaults()
    {
        const Settings& s = m_settings;
        QCOMPARE(Settings::store()->fileName(),
                 qEnvironmentVariable("XDG_CONFIG_HOME") + "/Tolvane/Tolvane.conf");
        QCOMPARE(QStringList({rawValue(s.convertKey()), rawValue(s.toolsKey()), rawValue(s.actionsKey()),
                              rawValue(s.saveLocation()), rawValue(s.terminalApp())}),
                 QStringList({"shift", "option", "control", "besideOriginal", "terminal"}));
        QCOMPARE(s.outputFolder(), QStandardPaths::writableLocation(QStandardPaths::DownloadLocation));
        QCOMPARE(std::pair(s.imageQuality(), s.pdfDPI()), std::pair(0.88, 300.0));
        QVERIFY(s.highlightSound() && s.haptics() && !s.revealInFinder() && s.enabled() && !s.onboarded());
        // Reading never writes: the store stays empty.
        QVERIFY(Settings::store()->allKeys().isEmpty());
    }

    // What a hand-edited file holds: unknown or miscased names fall back, numbers are clamped.
    void tolerantReading_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("expected");
        // clang-format off
        for (const auto& [key, stored, expected] : QList<std::array<const char*, 3>>{
                 {"convertKey", "fn", "shift"}, {"saveLocation", "Folder", "besideOriginal"},
                 {"terminalApp", "iTerm", "terminal"}, {"imageQuality", "lots", "0.88"},
                 {"imageQuality", "5", "1"}, {"imageQuality", "nan", "0.88"}, {"pdfDPI", "-3", "36"},
                 {"pdfDPI", "150", "150"},
                 {"enabled", "maybe", "true"}, {"enabled", "false", "false"}})
            QTest::addRow("%s %s", key, stored) << key << stored << expected;
        // clang-format on
    }

    void tolerantReading()
    {
        QFETCH(QString, key);
        QFETCH(QString, stored);
        QFETCH(QString, expected);
        Settings::store()->setValue(key, stored);
        m_settings.reload();
        const QString actual = key == "convertKey"     ? rawValue(m_settings.convertKey())
                               : key == "saveLocation" ? rawValue(m_settings.saveLocation())
                               : key == "terminalApp"  ? rawValue(m_settings.terminalApp())
                               : key == "imageQuality" ? QString::number(m_settings.imageQuality())
                               : key == "pdfDPI"       ? QString::number(m_settings.pdfDPI())
                                                       : QVariant(m_settings.enabled()).toString();
        QCOMPARE(actual, expected);
        // The stored text is left as the user wrote it.
        QCOMPARE(Settings::store()->value(key).toString(), stored);
    }

    void changesAreWrittenAtOnceAndAnnounced()
    {
        QSignalSpy spy(&m_settings, &Settings::toolsKeyChanged);
        m_settings.setToolsKey(ModifierKey::command);
        m_settings.setToolsKey(ModifierKey::command);
        QCOMPARE(spy.count(), 1);
        m_settings.setImageQuality(0.5);
        m_settings.setSaveLocation(SaveLocation::folder);
        m_settings.reload(); // as a relaunch would: only what reached the store survives
        QCOMPARE(m_settings.toolsKey(), ModifierKey::command);
        QVERIFY(m_settings.saveLocation() == SaveLocation::folder && m_settings.imageQuality() == 0.5);
    }

    // The chosen folder is used only while it is a folder; otherwise the result goes beside the original.
    void outputDirectory()
    {
        QTemporaryDir dir;
        const QString in = dir.filePath("in"), out = dir.filePath("Converted"), source = in + "/clip.mov";
        QVERIFY(QDir().mkpath(in) && QDir().mkpath(out));
        QCOMPARE(m_settings.outputDirectory(source), in);
        m_settings.setSaveLocation(SaveLocation::folder);
        m_settings.setOutputFolder(out);
        QCOMPARE(m_settings.outputDirectory(source), out);
        QVERIFY(QDir(out).removeRecursively()); // the chosen folder went away
        QCOMPARE(m_settings.outputDirectory(source), in);
        QVERIFY(QFile(out).open(QIODevice::WriteOnly)); // a file where the folder was
        QCOMPARE(m_settings.outputDirectory(source), in);
        qputenv("HOME", dir.path().toUtf8());
        m_settings.setOutputFolder("~/in");
        QCOMPARE(m_settings.outputDirectory("/elsewhere/x.png"), in);
    }
};

QTEST_GUILESS_MAIN(SettingsTest)
#include "test_settings.moc"
