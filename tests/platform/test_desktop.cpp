// The desktop services: the clipboard forms file managers paste, the road to a nearby device
// through KDE Connect or Bluetooth, and results shown in the file manager on a session bus of the
// test's own, with and without a file manager that answers there.

#include "platform/clipboard.h"
#include "platform/desktop.h"
#include "platform/nearbysend.h"

#include <QClipboard>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QGuiApplication>
#include <QMimeData>
#include <QTemporaryDir>
#include <QtTest>

// A file manager that owns the freedesktop name and notes what it is asked to show.
class FileManagerStandIn : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

  public:
    QStringList shown;

  public slots:
    void ShowItems(const QStringList& uris, const QString&) { shown = uris; }
};

class DesktopTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QProcess m_bus;

    QString path(const QString& name) const { return m_dir.filePath(name); }

    // Programs in a folder of their own, found only there. "name" notes "name <arguments>" in
    // `opened` and ends at once, as pcmanfm does when it hands the folder to its running window;
    // "name fails" says why on standard error and ends with a failure.
    std::function<std::optional<QString>(const QString&)> programs(const QStringList& installed)
    {
        QDir(path("bin")).removeRecursively();
        QFile::remove(path("opened"));
        if (!QDir().mkpath(path("bin"))) return {};
        for (const QString& entry : installed) {
            const QString name = entry.section(' ', 0, 0);
            QFile program(path("bin/" + name));
            if (!program.open(QIODevice::WriteOnly)) return {};
            program.write("#!/bin/sh\n");
            if (entry.endsWith(" fails"))
                program.write("echo \"" + QFile::encodeName(name) +
                              ": cannot open display: :9\" >&2\nexit 4\n");
            else
                program.write("echo \"" + QFile::encodeName(name) + " $*\" >> '" +
                              QFile::encodeName(path("opened")) + "'\n");
            program.close();
            program.setPermissions(program.permissions() | QFile::ExeOwner);
        }
        return [this](const QString& name) -> std::optional<QString> {
            const QFileInfo program(path("bin/" + name));
            return program.isExecutable() ? std::optional(program.filePath()) : std::nullopt;
        };
    }

    static QString read(const QString& file)
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).trimmed() : QString();
    }

  private slots:
    // The session bus is one the test starts, with no services to start on demand: whatever file
    // manager this computer has stays out of it.
    void initTestCase()
    {
        QFile config(path("bus.conf"));
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\" "
                     "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                     "<busconfig><type>session</type><listen>unix:path=" +
                     QFile::encodeName(path("bus")) +
                     "</listen><policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                     "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n");
        config.close();
        m_bus.start("dbus-daemon", {"--nofork", "--print-address=1", "--config-file=" + config.fileName()});
        QVERIFY2(m_bus.waitForReadyRead(10000), qPrintable(m_bus.readAllStandardError()));
        qputenv("DBUS_SESSION_BUS_ADDRESS", m_bus.readLine().trimmed());
        QVERIFY(QDBusConnection::sessionBus().isConnected());
        QVERIFY(QDir().mkpath(path("results")) && QDir().mkpath(path("logs")));
    }

    void cleanupTestCase()
    {
        m_bus.terminate();
        m_bus.waitForFinished(10000);
    }

    // A file manager that owns the freedesktop name is asked to show every result, and the
    // folder is not opened besides.
    void revealAsksTheFileManager()
    {
        auto find = programs({"xdg-open", "pcmanfm"});
        FileManagerStandIn standIn;
        QDBusConnection manager = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "manager");
        QVERIFY(manager.registerObject("/org/freedesktop/FileManager1", &standIn,
                                       QDBusConnection::ExportAllSlots));
        QVERIFY(manager.registerService("org.freedesktop.FileManager1"));
        std::optional<QString> failure;
        Desktop::reveal({path("results/a b.png"), path("results/c.png")}, find,
                        [&](const QString& why) { failure = why; });
        QVERIFY(QTest::qWaitFor([&] { return !standIn.shown.isEmpty(); }, 10000));
        QCOMPARE(standIn.shown, QStringList({QUrl::fromLocalFile(path("results/a b.png")).toString(),
                                             QUrl::fromLocalFile(path("results/c.png")).toString()}));
        // Nothing tells that no fallback ran: give one the time it would take.
        QTest::qWait(300);
        QCOMPARE(read(path("opened")), QString());
        QCOMPARE(failure, std::nullopt);
        QVERIFY(manager.unregisterService("org.freedesktop.FileManager1"));
        QDBusConnection::disconnectFromBus("manager");
    }

    // With no owner of the freedesktop name, the results' folder is opened by xdg-open, else by an
    // installed file manager (the desktop's own first), also when xdg-open fails; with nothing
    // that opens it, the cause is named.
    void revealOpensTheFolder_data()
    {
        QTest::addColumn<QStringList>("installed");
        QTest::addColumn<QString>("desktop");
        QTest::addColumn<QString>("opened"); // by what, or empty
        QTest::addColumn<QString>("failure");
        QTest::newRow("xdg-open") << QStringList{"xdg-open", "pcmanfm"} << "LXDE"
                                  << "xdg-open"
                                  << "";
        QTest::newRow("pcmanfm without xdg-open") << QStringList{"pcmanfm"} << ""
                                                  << "pcmanfm"
                                                  << "";
        QTest::newRow("the desktop's own") << QStringList{"pcmanfm", "nautilus", "thunar"} << "ubuntu:GNOME"
                                           << "nautilus"
                                           << "";
        QTest::newRow("another desktop's") << QStringList{"thunar"} << "KDE"
                                           << "thunar"
                                           << "";
        QTest::newRow("xdg-open fails") << QStringList{"xdg-open fails", "caja"} << ""
                                        << "caja"
                                        << "";
        QTest::newRow("both fail") << QStringList{"xdg-open fails", "dolphin fails"} << ""
                                   << ""
                                   << "dolphin: cannot open display: :9";
        QTest::newRow("nothing") << QStringList{} << ""
                                 << ""
                                 << "xdg-open is not installed, nor a file manager to open the folder with. "
                                    "Install it with: sudo apt install xdg-utils";
    }

    void revealOpensTheFolder()
    {
        QFETCH(QStringList, installed);
        QFETCH(QString, desktop);
        QFETCH(QString, opened);
        QFETCH(QString, failure);
        QVERIFY(
            !QDBusConnection::sessionBus().interface()->isServiceRegistered("org.freedesktop.FileManager1"));
        qputenv("XDG_CURRENT_DESKTOP", desktop.toUtf8());
        qputenv("TMPDIR", QFile::encodeName(path("logs")));
        auto find = programs(installed);
        QVERIFY(find);
        std::optional<QString> failed;
        Desktop::reveal({path("results/a.png")}, find, [&](const QString& why) { failed = why; });
        // Settled once every program started has ended and its log is gone.
        QVERIFY(QTest::qWaitFor(
            [&] { return failed || (!read(path("opened")).isEmpty() && QDir(path("logs")).isEmpty()); },
            10000));
        QCOMPARE(read(path("opened")), opened.isEmpty() ? QString() : opened + ' ' + path("results"));
        QCOMPARE(failed.value_or(QString()), failure);
        qunsetenv("XDG_CURRENT_DESKTOP");
        qunsetenv("TMPDIR");
    }

    // Pasting in a file manager copies the files; a text field gets the paths.
    void copiedFiles()
    {
        const QStringList paths{"/home/ana/a b.txt", "/tmp/ünï.png"};
        Clipboard::putFiles(paths);
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        QVERIFY(data);
        QCOMPARE(data->data("text/uri-list"),
                 QByteArray("file:///home/ana/a%20b.txt\r\nfile:///tmp/%C3%BCn%C3%AF.png\r\n"));
        QCOMPARE(data->data("x-special/gnome-copied-files"),
                 QByteArray("copy\nfile:///home/ana/a%20b.txt\nfile:///tmp/%C3%BCn%C3%AF.png"));
        QCOMPARE(data->text(), QString("/home/ana/a b.txt\n/tmp/ünï.png"));

        Clipboard::putText("a\nb");
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("a\nb"));
        QVERIFY(!QGuiApplication::clipboard()->mimeData()->hasUrls());
    }

    void sending_data()
    {
        QTest::addColumn<QStringList>("installed");
        QTest::addColumn<QByteArray>("devices"); // what KDE Connect lists
        QTest::addColumn<bool>("sent");
        QTest::addColumn<QStringList>("calls");
        const QString list = "run kdeconnect-cli --list-available --id-only";
        QTest::newRow("KDE Connect, first reachable device")
            << QStringList{"kdeconnect-cli", "bluetooth-sendto"} << QByteArray("a1b2_c3\nff00\n") << true
            << QStringList{list, "run kdeconnect-cli --device a1b2_c3 --share /x/1.png",
                           "run kdeconnect-cli --device a1b2_c3 --share /x/2.png"};
        QTest::newRow("no device: Bluetooth")
            << QStringList{"kdeconnect-cli", "bluetooth-sendto"} << QByteArray("\n") << true
            << QStringList{list, "start bluetooth-sendto /x/1.png /x/2.png"};
        QTest::newRow("Bluetooth only") << QStringList{"bluetooth-sendto"} << QByteArray() << true
                                        << QStringList{"start bluetooth-sendto /x/1.png /x/2.png"};
        QTest::newRow("nothing to send with") << QStringList{} << QByteArray() << false << QStringList{};
        QTest::newRow("KDE Connect without a device only")
            << QStringList{"kdeconnect-cli"} << QByteArray("0 devices found\n") << false << QStringList{list};
    }

    void sending()
    {
        QFETCH(QStringList, installed);
        QFETCH(QByteArray, devices);
        QStringList calls;
        const NearbySend::Programs programs{
            [&](const QString& name) {
                return installed.contains(name) ? std::optional<QString>("/usr/bin/" + name) : std::nullopt;
            },
            [&](const QString& program, const QStringList& args) -> std::optional<QByteArray> {
                calls << "run " + QFileInfo(program).fileName() + ' ' + args.join(' ');
                return args.contains("--list-available") ? devices : QByteArray();
            },
            [&](const QString& program, const QStringList& args) {
                calls << "start " + QFileInfo(program).fileName() + ' ' + args.join(' ');
                return true;
            }};
        QTEST(NearbySend::send({"/x/1.png", "/x/2.png"}, programs), "sent");
        QTEST(calls, "calls");
    }

    // A program that fails while watched says why in its last line, else by its exit; one that
    // ends well is no failure. What they write is kept only while they are watched.
    void startWatched()
    {
        QTemporaryDir temporary;
        qputenv("TMPDIR", QFile::encodeName(temporary.path()));
        const QDir folder(temporary.path());
        const auto run = [&](const QString& program, const QStringList& args) -> std::optional<QString> {
            std::optional<QString> said;
            Desktop::startWatched(program, args, temporary.path(), std::chrono::seconds(30),
                                  [&](const QString& why) { said = why; });
            if (!QTest::qWaitFor([&] { return folder.isEmpty(); }, 10000)) return "the log stayed";
            return said;
        };
        QCOMPARE(run("/bin/sh", {"-c", "echo starting; echo 'no display here' >&2; exit 3"}),
                 std::optional<QString>("no display here"));
        QCOMPARE(run("/bin/sh", {"-c", "exit 4"}), std::optional<QString>("sh ended at once (exit 4)"));
        QCOMPARE(run("/bin/sh", {"-c", "echo fine"}), std::nullopt);
        const std::optional<QString> missing = run(temporary.filePath("nothing"), {});
        QVERIFY(missing && missing->startsWith("nothing couldn’t be started"));
        qunsetenv("TMPDIR");
    }
};

QTEST_MAIN(DesktopTest)
#include "test_desktop.moc"
