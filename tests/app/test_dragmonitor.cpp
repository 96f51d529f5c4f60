#include "app/dragmonitor.h"

#include "core/settings.h"
#include "platform/dragsource.h"
#include "platform/modifiermasks.h"

#include <QSettings>
#include <QtTest>
#include <deque>

namespace {

// A drag source the test drives by hand; file requests wait until the test answers them.
class FakeSource : public DragSource
{
public:
    quint64 count = 0;
    bool button = false, esc = false;
    unsigned mods = 0;
    std::deque<FilesHandler> requests;

    quint64 changeCount() override { return count; }
    void requestFiles(FilesHandler done) override { requests.push_back(std::move(done)); }
    bool buttonDown() override { return button; }
    unsigned modifiers() override { return mods; }
    bool escDown() override { return esc; }
    void press() { emit buttonPressed(); }
};

void row(const char* name, const QString& script, const QStringList& log)
{
    QTest::newRow(name) << script << log;
}

} // namespace

class DragMonitorTest : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        Settings::store()->clear();
        Settings::shared().reload();
    }

    // Each step acts on the fake source, the settings or the monitor; the log holds what the
    // monitor called back, plus "ask" for every file request.
    //   down / up     the left button (down arrives through the press monitor)
    //   drag          the drag selection changes hands
    //   files=A,B     the oldest file request is answered (empty: no files)
    //   mods=K+K      the held modifiers: key raw values, numlock, capslock
    //   esc / noesc   Esc goes down / up
    //   keys=C,T,A    the convert, tools and actions keys
    //   off           the monitor is paused
    //   tick          one poll
    void scripts_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QStringList>("log");
        const QString drag = "down drag tick files=/a/x.png,/a/y.pdf tick ";
        const QString conv = "conversions /a/x.png,/a/y.pdf", tools = "tools /a/x.png,/a/y.pdf";

        row("plain click", "down tick tick up tick", {});
        row("drag of something else", "down drag tick files= tick mods=option tick up tick", {"ask"});
        row("file drag and release", drag + "tick up tick tick", {"ask", "end"});
        row("list asked for once", "down drag tick tick drag tick files=/f tick up tick", {"ask", "end"});

        row("convert key", drag + "mods=shift tick mods= tick up tick", {"ask", conv, "end"});
        row("tools key, every tap", drag + "mods=option tick tick mods= tick mods=option tick up tick",
            {"ask", tools, tools, "end"});
        row("actions key", drag + "mods=control tick up tick", {"ask", "actions /a/x.png,/a/y.pdf", "end"});
        row("Super as the tools key", "keys=shift,command,control " + drag + "mods=command tick up tick",
            {"ask", tools, "end"});
        row("key held before the drag", "mods=shift down drag tick tick files=/f tick tick up tick",
            {"ask", "conversions /f", "end"});
        row("switch wheels", drag + "mods=shift tick mods= tick mods=option tick up tick",
            {"ask", conv, tools, "end"});
        row("two keys together", drag + "mods=shift+control tick up tick", {"ask", "end"});
        row("second key while one is held", drag + "mods=option tick mods=option+shift tick mods=option tick",
            {"ask", tools});
        row("NumLock and CapsLock do not count",
            drag + "mods=numlock tick mods=numlock+capslock+option tick mods=numlock tick", {"ask", tools});
        row("key shared by two modes", "keys=shift,shift,shift " + drag + "mods=shift tick", {"ask", conv});

        row("Esc cancels the rest of the drag", drag + "esc tick tick noesc tick esc tick mods=option tick up tick",
            {"ask", "cancel"});
        row("Esc held from before the press", "esc " + drag + "tick noesc tick esc tick", {"ask", "cancel"});
        row("press during a drag", drag + "down tick mods=option tick up tick", {"ask", tools, "end"});

        row("paused", "off down drag tick tick up tick", {});
        row("pausing waits for the next press", drag + "off tick up tick down drag tick", {"ask", "end"});
        row("answer after the press ended",
            "down drag tick up tick down drag tick files=/old files=/new tick mods=shift tick",
            {"ask", "ask", "conversions /new"});
    }

    void scripts()
    {
        QFETCH(QString, script);
        QFETCH(QStringList, log);

        auto* source = new FakeSource;
        DragMonitor monitor{std::unique_ptr<DragSource>(source)};
        QStringList seen;
        monitor.setOnModeKey([&](WheelMode mode, const QStringList& files) {
            seen << rawValue(mode) + " " + files.join(QLatin1Char(','));
        });
        monitor.setOnCancel([&] { seen << "cancel"; });
        monitor.setOnDragEnd([&] { seen << "end"; });
        monitor.start();

        for (const QString& step : script.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const QString value = step.section(QLatin1Char('='), 1);
            const QStringList values = value.split(QRegularExpression("[,+]"), Qt::SkipEmptyParts);
            if (step == "down") {
                source->button = true;
                source->press();
            } else if (step == "up") {
                source->button = false;
            } else if (step == "drag") {
                ++source->count;
            } else if (step.startsWith("files=")) {
                QVERIFY(!source->requests.empty());
                DragSource::FilesHandler done = std::move(source->requests.front());
                source->requests.pop_front();
                done(values);
            } else if (step.startsWith("mods=")) {
                source->mods = 0;
                for (const QString& name : values)
                    source->mods |= name == "numlock"    ? 1u << 4 // Mod2Mask
                                    : name == "capslock" ? 1u << 1 // LockMask
                                                         : ModifierMasks::of(*modifierKeyFromRaw(name));
            } else if (step == "esc" || step == "noesc") {
                source->esc = step == "esc";
            } else if (step.startsWith("keys=")) {
                Settings::shared().setConvertKey(*modifierKeyFromRaw(values[0]));
                Settings::shared().setToolsKey(*modifierKeyFromRaw(values[1]));
                Settings::shared().setActionsKey(*modifierKeyFromRaw(values[2]));
            } else if (step == "off") {
                Settings::shared().setEnabled(false);
            } else if (step == "tick") {
                const size_t before = source->requests.size();
                monitor.tick();
                for (size_t i = before; i < source->requests.size(); ++i) seen << "ask";
            } else {
                QFAIL(qPrintable("unknown step " + step));
            }
        }
        QCOMPARE(seen, log);
    }
};

QTEST_GUILESS_MAIN(DragMonitorTest)
#include "test_dragmonitor.moc"
