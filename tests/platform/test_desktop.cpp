// The desktop services: the clipboard forms file managers paste, and the road to a nearby device
// through KDE Connect or Bluetooth.

#include "platform/clipboard.h"
#include "platform/desktop.h"
#include "platform/nearbysend.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QTemporaryDir>
#include <QtTest>

class DesktopTest : public QObject
{
    Q_OBJECT

  private slots:
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
