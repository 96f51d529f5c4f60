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

    // A first launch reads its defaults without writing anything.
    void firstLaunch()
    {
        const Settings& s = m_settings;
        QCOMPARE(Settings::store()->fileName(),
                 qEnvironmentVariable("XDG_CONFIG_HOME") + "/Tolvane/Tolvane.conf");
        QCOMPARE(s.outputFolder(), QStandardPaths::writableLocation(QStandardPaths::DownloadLocation));
        QVERIFY(s.pdfDPI() == 300 && s.highlightSound() && !s.revealInFinder() && s.enabled() &&
                !s.onboarded());
        QVERIFY(Settings::store()->allKeys().isEmpty());
    }

    // What a hand-edited file holds: unknown or miscased names fall back, numbers are clamped, and
    // the stored text is left as the user wrote it.
    void tolerantReading()
    {
        const Settings& s = m_settings;
        // clang-format off
        const QList<std::array<QString, 3>> rows{
            {"convertKey", "fn", "shift"}, {"saveLocation", "Folder", "besideOriginal"},
            {"terminalApp", "iTerm", "terminal"}, {"imageQuality", "lots", "0.88"}, {"imageQuality", "5", "1"},
            {"imageQuality", "nan", "0.88"}, {"pdfDPI", "-3", "36"}, {"pdfDPI", "150", "150"},
            {"enabled", "maybe", "true"}, {"enabled", "false", "false"}};
        // clang-format on
        for (const auto& [key, stored, expected] : rows) {
            Settings::store()->setValue(key, stored);
            m_settings.reload();
            const QString actual = key == "convertKey"     ? rawValue(s.convertKey())
                                   : key == "saveLocation" ? rawValue(s.saveLocation())
                                   : key == "terminalApp"  ? rawValue(s.terminalApp())
                                   : key == "imageQuality" ? QString::number(s.imageQuality())
                                   : key == "pdfDPI"       ? QString::number(s.pdfDPI())
                                                           : QVariant(s.enabled()).toString();
            QCOMPARE(actual, expected);
            QCOMPARE(Settings::store()->value(key).toString(), stored);
        }
    }

    // A change is announced once, clamped, and written at once: a relaunch still has it.
    void changesAreWrittenAtOnceAndAnnounced()
    {
        QSignalSpy spy(&m_settings, &Settings::toolsKeyChanged);
        m_settings.setToolsKey(ModifierKey::command);
        m_settings.setToolsKey(ModifierKey::command);
        m_settings.setImageQuality(5);
        m_settings.reload();
        QCOMPARE(spy.count(), 1);
        QVERIFY(m_settings.toolsKey() == ModifierKey::command && m_settings.imageQuality() == 1);
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

    // The application's own files (the welcome sample) lie hidden: their results go to the
    // pictures folder the desktop names, or home without one, or to the chosen folder.
    void outputOfOwnFiles()
    {
        QTemporaryDir home;
        const QByteArray oldHome = qgetenv("HOME"), oldConfig = qgetenv("XDG_CONFIG_HOME");
        const auto restore = qScopeGuard([&] {
            qputenv("HOME", oldHome);
            qputenv("XDG_CONFIG_HOME", oldConfig);
        });
        qputenv("HOME", home.path().toUtf8());
        qputenv("XDG_CONFIG_HOME", home.filePath(".config").toUtf8());
        const QString sample = Settings::dataFolder() + "/Tolvane Sample.png";
        QCOMPARE(m_settings.outputDirectory(sample), home.path());
        QVERIFY(QDir().mkpath(home.filePath(".config")) && QDir().mkpath(home.filePath("Bilder")));
        QFile dirs(home.filePath(".config/user-dirs.dirs"));
        QVERIFY(dirs.open(QIODevice::WriteOnly) && dirs.write("XDG_PICTURES_DIR=\"$HOME/Bilder\"\n") > 0);
        dirs.close();
        QCOMPARE(m_settings.outputDirectory(sample), home.filePath("Bilder"));
        QCOMPARE(m_settings.outputDirectory(Settings::dataFolder() + "/sub/x.png"),
                 Settings::dataFolder() + "/sub");
        m_settings.setSaveLocation(SaveLocation::folder);
        m_settings.setOutputFolder(home.filePath(".config"));
        QCOMPARE(m_settings.outputDirectory(sample), home.filePath(".config"));
    }
};

QTEST_GUILESS_MAIN(SettingsTest)
#include "test_settings.moc"
