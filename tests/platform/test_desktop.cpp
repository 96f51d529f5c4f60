// The desktop services: the clipboard forms file managers paste, and the road to a nearby device
// through KDE Connect or Bluetooth.

#include "platform/clipboard.h"
#include "platform/nearbysend.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
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
};

QTEST_MAIN(DesktopTest)
#include "test_desktop.moc"
