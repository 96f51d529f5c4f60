#include "platform/x11dragwatcher.h"

#include "platform/modifiermasks.h"

#include <QGuiApplication>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QtTest>

#include "../support/xvfb.h"

namespace {

constexpr unsigned numLockBit = 1u << 4; // Mod2Mask
constexpr int patience = 5000;

void xdotool(const QStringList& args)
{
    QCOMPARE(QProcess::execute(QStringLiteral("xdotool"), args), 0);
}

} // namespace

#define REQUIRE_SCREEN() \
    if (!m_noScreen.isEmpty()) QSKIP(qPrintable(m_noScreen))

class X11DragWatcherTest : public QObject
{
    Q_OBJECT
public:
    explicit X11DragWatcherTest(const QString& noScreen)
        : m_noScreen(noScreen)
    {
    }

private slots:
    void filePaths_data()
    {
        QTest::addColumn<QByteArray>("list");
        QTest::addColumn<QStringList>("paths");

        QTest::newRow("CRLF lines, a comment") << QByteArray("# from\r\nfile:///home/u/a.png\r\nfile:///u/b.pdf\r\n")
                                               << QStringList{"/home/u/a.png", "/u/b.pdf"};
        QTest::newRow("percent-encoded") << QByteArray("file:///tmp/a%20b/%C3%BCn%C3%AF.txt\r\nfile:///tmp/100%25")
                                         << QStringList{"/tmp/a b/ünï.txt", "/tmp/100%"};
        QTest::newRow("localhost, another host")
            << QByteArray("file://localhost/etc/hosts\r\nfile://server/share/x\r\n") << QStringList{"/etc/hosts"};
        QTest::newRow("other schemes")
            << QByteArray("https://example.org/a.png\r\ntrash:///b\r\nfile:///c\r\n") << QStringList{"/c"};
        QTest::newRow("bare newlines, closing NUL") << QByteArray("file:///a\nfile:///b\n\0", 20)
                                                    << QStringList{"/a", "/b"};
        QTest::newRow("only comments") << QByteArray("#file:///a\r\n\r\n") << QStringList{};
    }

    void filePaths()
    {
        QFETCH(QByteArray, list);
        QFETCH(QStringList, paths);
        QCOMPARE(X11DragWatcher::filePaths(list), paths);
    }

    void init()
    {
        if (!m_noScreen.isEmpty()) return;
        m_watcher = X11DragWatcher::open();
        QVERIFY(m_watcher);
    }

    void cleanup()
    {
        m_watcher.reset();
        if (m_noScreen.isEmpty())
            QProcess::execute("xdotool", {"mouseup", "1", "keyup", "shift", "Control_L", "Alt_L", "Super_L", "Escape"});
    }

    void dragReportsTheDraggedFiles_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QList<QPoint>>("path"); // where the pointer goes from the press, 10 ms apart
        QTest::addColumn<bool>("whileMoving");   // the files are asked for on the way, else after it
        QTest::addColumn<QStringList>("files");

        const QStringList files{"/tmp/tolvane drag/a b.png", "/tmp/tolvane drag/ünï €.pdf", "/tmp/100%.txt"};
        const QList<QPoint> start{{130, 120}};
        QTest::newRow("files") << files << start << false << files;
        // The source, a Qt one, answers only for the time of its latest position message: after
        // crossing windows that of the move back over itself, on the way that of the latest move.
        QTest::newRow("files, asked after crossing windows")
            << files << QList<QPoint>{{120, 110}, {140, 125}, {500, 400}, {600, 420}, {150, 150}} << false << files;
        QList<QPoint> glide{{120, 110}};
        for (int i = 1; i <= 60; ++i) glide << QPoint(120 + i, 110 + i);
        QTest::newRow("files, asked while the pointer moves") << files << glide << true << files;
        QTest::newRow("text only") << QStringList{"--text"} << start << false << QStringList{};
    }

    void dragReportsTheDraggedFiles()
    {
        REQUIRE_SCREEN();
        QFETCH(QStringList, arguments);
        QFETCH(QList<QPoint>, path);
        QFETCH(bool, whileMoving);
        QFETCH(QStringList, files);

        QProcess source;
        source.start(QCoreApplication::applicationDirPath() + "/dragsource", arguments);
        QVERIFY(source.waitForStarted());
        QByteArray said;
        QTRY_VERIFY_WITH_TIMEOUT((said += source.readAllStandardOutput()).contains("ready"), patience);

        const quint64 before = m_watcher->changeCount();
        QSignalSpy presses(m_watcher.get(), &DragSource::buttonPressed);
        xdotool({"mousemove", "100", "100", "mousedown", "1"});
        QTRY_COMPARE_WITH_TIMEOUT(presses.count(), 1, patience);
        // Relative moves go through XTest like a real device's, raw events included (absolute
        // ones are warps). The source starts the drag on the first step.
        QStringList steps;
        QPoint from(100, 100);
        for (const QPoint to : path) {
            const QPoint by = to - from;
            steps += {"mousemove_relative", "--", QString::number(by.x()), QString::number(by.y()), "sleep", "0.01"};
            from = to;
        }
        QProcess mover;
        mover.start(QStringLiteral("xdotool"), steps);
        if (!whileMoving) QVERIFY(mover.waitForFinished());
        QTRY_VERIFY_WITH_TIMEOUT(m_watcher->changeCount() != before, patience);
        std::optional<QStringList> answer;
        m_watcher->requestFiles([&](const QStringList& paths) { answer = paths; });
        QVERIFY(!answer);
        QTRY_VERIFY_WITH_TIMEOUT(answer.has_value(), patience);
        if (whileMoving) QVERIFY(mover.waitForFinished());
        QCOMPARE(mover.exitCode(), 0);

        xdotool({"mousemove", "400", "400", "mouseup", "1"});
        QTRY_VERIFY_WITH_TIMEOUT((said += source.readAllStandardOutput()).contains("dropped"), patience);
        source.kill();
        source.waitForFinished();
        QCOMPARE(*answer, files);
    }

    void modifiers_data()
    {
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<bool>("numLock");
        QTest::addColumn<unsigned>("mask");

        QTest::newRow("Shift") << QStringList{"shift"} << false << ModifierMasks::of(ModifierKey::shift);
        QTest::newRow("Control") << QStringList{"Control_L"} << false << ModifierMasks::of(ModifierKey::control);
        QTest::newRow("Alt") << QStringList{"Alt_L"} << false << ModifierMasks::of(ModifierKey::option);
        QTest::newRow("Super") << QStringList{"Super_L"} << false << ModifierMasks::of(ModifierKey::command);
        QTest::newRow("Shift and Super") << QStringList{"shift", "Super_L"} << false
                                         << (ModifierMasks::shift | ModifierMasks::super);
        QTest::newRow("Shift with NumLock on") << QStringList{"shift"} << true << ModifierMasks::shift;
    }

    void modifiers()
    {
        REQUIRE_SCREEN();
        QFETCH(QStringList, keys);
        QFETCH(bool, numLock);
        QFETCH(unsigned, mask);

        if (numLock) {
            xdotool({"key", "Num_Lock"});
            QTRY_VERIFY_WITH_TIMEOUT(m_watcher->modifiers() & numLockBit, patience);
        }
        xdotool(QStringList{"keydown"} + keys);
        QTRY_COMPARE_WITH_TIMEOUT(m_watcher->modifiers() & ModifierMasks::counted, mask, patience);
        xdotool(QStringList{"keyup"} + keys);
        if (numLock) xdotool({"key", "Num_Lock"});
        QTRY_COMPARE_WITH_TIMEOUT(m_watcher->modifiers(), 0u, patience);
    }

    void escape()
    {
        REQUIRE_SCREEN();
        QVERIFY(!m_watcher->escDown());
        xdotool({"keydown", "Escape"});
        QTRY_VERIFY_WITH_TIMEOUT(m_watcher->escDown(), patience);
        xdotool({"keyup", "Escape"});
        QTRY_VERIFY_WITH_TIMEOUT(!m_watcher->escDown(), patience);
    }

    // Only the left button counts, wherever it is pressed.
    void leftPressesAnywhere()
    {
        REQUIRE_SCREEN();
        QSignalSpy presses(m_watcher.get(), &DragSource::buttonPressed);
        xdotool({"mousemove", "600", "600", "mousedown", "3", "mouseup", "3", "mousedown", "1"});
        QTRY_COMPARE_WITH_TIMEOUT(presses.count(), 1, patience);
        QVERIFY(m_watcher->buttonDown());
        xdotool({"mouseup", "1"});
        QTRY_VERIFY_WITH_TIMEOUT(!m_watcher->buttonDown(), patience);
        QCOMPARE(presses.count(), 1);
    }

private:
    QString m_noScreen;
    std::unique_ptr<X11DragWatcher> m_watcher;
};

int main(int argc, char** argv)
{
    VirtualScreen screen;
    screen.useForThisProcess();
    QGuiApplication app(argc, argv);
    X11DragWatcherTest test(screen.failure());
    return QTest::qExec(&test, argc, argv);
}

#include "test_x11dragwatcher.moc"
