#include "platform/x11dragwatcher.h"

#include "platform/modifiermasks.h"

#include <QGuiApplication>
#include <QSignalSpy>

#include "../support/x11test.h"

constexpr unsigned numLockBit = 1u << 4; // Mod2Mask
constexpr int patience = 5000;

class X11DragWatcherTest : public ScreenTest
{
    Q_OBJECT
  public:
    using ScreenTest::ScreenTest;

  private slots:
    void filePaths_data()
    {
        QTest::addColumn<QByteArray>("list");
        QTest::addColumn<QStringList>("paths");
        const auto row = [](const char* name, const QByteArray& list, const QStringList& paths) {
            QTest::newRow(name) << list << paths;
        };
        row("CRLF lines, a comment", "# from\r\nfile:///a\r\nfile:///u/b.pdf\r\n", {"/a", "/u/b.pdf"});
        row("percent-encoded", "file:///a%20b/%C3%BCn%C3%AF\r\nfile:///100%25", {"/a b/ünï", "/100%"});
        row("localhost, another host", "file://localhost/etc/hosts\r\nfile://server/x\r\n", {"/etc/hosts"});
        row("other schemes", "https://example.org/a.png\r\ntrash:///b\r\nfile:///c\r\n", {"/c"});
        row("bare newlines, closing NUL", QByteArray("file:///a\nfile:///b\n\0", 20), {"/a", "/b"});
        row("only comments", "#file:///a\r\n\r\n", {});
    }

    void filePaths()
    {
        QFETCH(QByteArray, list);
        QFETCH(QStringList, paths);
        QCOMPARE(X11DragWatcher::filePaths(list), paths);
    }

    void cleanup()
    {
        if (m_noScreen.isEmpty()) releaseAll();
    }

    // Asked while the pointer moves: a Qt source answers only for the time of the input event
    // behind its latest position message, here the latest move. The wheel's end-to-end test asks
    // after the moves, also after crossing windows.
    void draggedFiles_data()
    {
        QTest::addColumn<QStringList>("files"); // what is dragged; text when none
        QTest::newRow("files") << QStringList{"/tmp/tolvane drag/a b.png", "/tmp/ünï €.pdf", "/tmp/100%.txt"};
        QTest::newRow("text only") << QStringList{};
    }

    void draggedFiles()
    {
        REQUIRE_SCREEN();
        const std::unique_ptr<X11DragWatcher> watcher = X11DragWatcher::open();
        QVERIFY(watcher);
        QFETCH(QStringList, files);

        ChildProcess source;
        QByteArray said;
        QVERIFY(startDragSource(source, files.isEmpty() ? QStringList{"--text"} : files, said));
        const quint64 before = watcher->changeCount();
        QSignalSpy presses(watcher.get(), &DragSource::buttonPressed);
        QVERIFY(xdotool({"mousemove", "100", "100", "mousedown", "1"}));
        QTRY_COMPARE_WITH_TIMEOUT(presses.count(), 1, patience);
        // The source starts the drag on the first step; the pointer glides on, 10 ms a step.
        QList<QPoint> glide{{120, 110}};
        for (int i = 1; i <= 60; ++i)
            glide << QPoint(120 + i, 110 + i);
        QProcess mover;
        mover.start(QStringLiteral("xdotool"), relativeMoves({100, 100}, glide, QStringLiteral("0.01")));
        QTRY_VERIFY_WITH_TIMEOUT(watcher->changeCount() != before, patience);
        std::optional<QStringList> answer;
        watcher->requestFiles([&](const QStringList& paths) { answer = paths; });
        QVERIFY(!answer);
        QTRY_VERIFY_WITH_TIMEOUT(answer.has_value(), patience);
        QVERIFY(mover.waitForFinished());
        QCOMPARE(mover.exitCode(), 0);

        QVERIFY(xdotool({"mousemove", "400", "400", "mouseup", "1"}));
        QTRY_VERIFY_WITH_TIMEOUT((said += source.readAllStandardOutput()).contains("dropped"), patience);
        QCOMPARE(*answer, files);
    }

    // The application's own drag is answered with its files, from the event loop; once it has
    // ended the selection is asked again, and with no drag under way it gives none.
    void ownDrag()
    {
        REQUIRE_SCREEN();
        const std::unique_ptr<X11DragWatcher> watcher = X11DragWatcher::open();
        QVERIFY(watcher);
        const QStringList files{"/tmp/Tolvane Sample.png"};
        std::optional<QStringList> answer;
        DragSource::setOwnDrag(files);
        watcher->requestFiles([&](const QStringList& paths) { answer = paths; });
        QVERIFY(!answer);
        QTRY_VERIFY_WITH_TIMEOUT(answer.has_value(), patience);
        QCOMPARE(*answer, files);
        DragSource::setOwnDrag(std::nullopt);
        answer.reset();
        watcher->requestFiles([&](const QStringList& paths) { answer = paths; });
        QTRY_VERIFY_WITH_TIMEOUT(answer.has_value(), patience);
        QCOMPARE(*answer, QStringList());
    }

    // The counted modifiers (never NumLock), Esc and the left button as the server has them; only
    // a press of the left button is signalled.
    void inputState_data()
    {
        QTest::addColumn<QStringList>("press"); // xdotool steps that releaseAll() undoes, NumLock aside
        QTest::addColumn<unsigned>("mask");
        using namespace ModifierMasks;
        QTest::newRow("Control and Alt") << QStringList{"keydown", "Control_L", "Alt_L"} << (control | alt);
        QTest::newRow("Shift and Super") << QStringList{"keydown", "shift", "Super_L"} << (shift | super);
        QTest::newRow("Esc") << QStringList{"keydown", "Escape"} << 0u;
        QTest::newRow("left button") << QStringList{"mousemove", "600", "600", "mousedown", "1"} << 0u;
        // Last, so that a failure cannot leave NumLock on for the other rows.
        QTest::newRow("Shift with NumLock on") << QStringList{"key", "Num_Lock", "keydown", "shift"} << shift;
    }

    void inputState()
    {
        REQUIRE_SCREEN();
        const std::unique_ptr<X11DragWatcher> watcher = X11DragWatcher::open();
        QVERIFY(watcher);
        QFETCH(QStringList, press);
        QFETCH(unsigned, mask);
        const bool numLock = press.contains("Num_Lock"), esc = press.contains("Escape");
        const bool button = press.contains("mousedown");

        QSignalSpy presses(watcher.get(), &DragSource::buttonPressed);
        const auto state = [&](unsigned bits) {
            const unsigned held = watcher->modifiers();
            return std::tuple(held & bits, bool(held & numLockBit), watcher->escDown(), watcher->buttonDown(),
                              int(presses.count()));
        };
        QVERIFY(xdotool(press));
        QTRY_COMPARE_WITH_TIMEOUT(state(ModifierMasks::counted),
                                  std::tuple(mask, numLock, esc, button, int(button)), patience);
        releaseAll();
        if (numLock) QVERIFY(xdotool({"key", "Num_Lock"}));
        QTRY_COMPARE_WITH_TIMEOUT(state(~0u), std::tuple(0u, false, false, false, int(button)), patience);
    }

    // Only the left button's press is signalled; keys only while it is down, each once, and by
    // the time of the signal the state already holds the key.
    void keysSignalled()
    {
        REQUIRE_SCREEN();
        const std::unique_ptr<X11DragWatcher> watcher = X11DragWatcher::open();
        QVERIFY(watcher);
        QList<unsigned> seen; // the counted modifiers at each signal
        connect(watcher.get(), &DragSource::keysChanged, this,
                [&] { seen << (watcher->modifiers() & ModifierMasks::counted); });
        QSignalSpy presses(watcher.get(), &DragSource::buttonPressed);

        QVERIFY(xdotool({"keydown", "Control_L", "keyup", "Control_L", "mousemove", "600", "600", "mousedown",
                         "3", "mouseup", "3", "mousedown", "1"}));
        QTRY_COMPARE_WITH_TIMEOUT(presses.count(), 1, patience);
        QVERIFY(xdotool({"keydown", "shift"}));
        QTRY_COMPARE_WITH_TIMEOUT(seen, QList<unsigned>{ModifierMasks::shift}, patience);
        QVERIFY(xdotool({"keyup", "shift"}));
        QTRY_COMPARE_WITH_TIMEOUT(seen, (QList<unsigned>{ModifierMasks::shift, 0}), patience);
    }
};

X11_TEST_MAIN(X11DragWatcherTest, QGuiApplication, {"xdotool", "xdotool"})

#include "test_x11dragwatcher.moc"
