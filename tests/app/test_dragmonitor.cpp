#include "app/dragmonitor.h"

#include "core/settings.h"
#include "platform/dragsource.h"
#include "platform/modifiermasks.h"

#include <QSettings>
#include <QtTest>

namespace {

// A drag source the test drives by hand; file requests wait until the test answers them.
class FakeSource : public DragSource
{
  public:
    quint64 count = 0, mods = 0, locks = 0;
    bool button = false, esc = false;
    QList<FilesHandler> requests;

    quint64 changeCount() override { return count; }
    void requestFiles(FilesHandler done) override { requests.append(std::move(done)); }
    bool buttonDown() override { return button; }
    unsigned modifiers() override { return unsigned(mods | locks); }
    bool escDown() override { return esc; }
};

} // namespace

class DragMonitorTest : public QObject
{
    Q_OBJECT
  private slots:
    // Each step acts on the fake source, the settings or the monitor; the log holds what the
    // monitor called back. Every file request must be answered by a step, and only once.
    //   down / up     the left button (down arrives through the press monitor)
    //   drag          the drag selection changes hands
    //   files=A,B     the oldest file request is answered (empty: no files); there must be one
    //   mods=K+K      the held modifier keys, by raw value
    //   locks         NumLock (Mod2) and CapsLock (Lock) go on
    //   esc / noesc   Esc goes down / up
    //   tools=K       the tools key
    //   off           the monitor is paused
    //   tick          one poll
    //   key           the source reports a key going down or up
    // The event loop never runs here, so the monitor's own timer never polls: a callback after a
    // key step with no tick came from the key event alone.
    void scripts_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QStringList>("log");
        const auto row = [](const char* name, const QString& script, const QStringList& log) {
            QTest::newRow(name) << script << log;
        };
        const QString drag = "down drag tick files=/x,/y tick ";
        const QString conv = "conversions /x,/y", tools = "tools /x,/y";

        row("plain click", "down tick tick up tick", {});
        row("drag of something else", "down drag tick files= tick mods=option tick up tick", {});
        row("file drag and release", drag + "tick up tick tick", {"end"});
        row("list asked for once", "down drag tick tick drag tick files=/f tick up tick", {"end"});

        row("convert, then actions", drag + "mods=shift tick mods= tick mods=control tick up tick",
            {conv, "actions /x,/y", "end"});
        row("every tap", drag + "mods=option tick tick mods= tick mods=option tick", {tools, tools});
        row("Super for tools", "tools=command " + drag + "mods=command tick", {tools});
        row("held before the drag", "mods=shift down drag tick tick files=/f tick", {"conversions /f"});
        row("two keys", drag + "mods=shift+control tick mods=option tick mods=option+shift tick", {tools});
        row("a release opens nothing", drag + "mods=shift+control tick mods=control tick", {});
        row("locks ignored", drag + "locks tick mods=option tick", {tools});
        row("one key, two modes", "tools=shift " + drag + "mods=shift tick", {conv});

        row("Esc ends the drag", drag + "esc tick tick noesc tick esc tick mods=option tick", {"cancel"});
        row("Esc held from before", "esc " + drag + "tick noesc tick esc tick", {"cancel"});
        row("press during a drag", drag + "down tick mods=option tick up tick", {tools, "end"});

        row("a key is looked at when it arrives", drag + "mods=shift key mods= key mods=option key",
            {conv, tools});
        row("Esc when it arrives", drag + "esc key mods=option key", {"cancel"});
        row("a key after the release", drag + "up mods=shift key", {"end"});
        row("a key before the drag is seen", "down drag mods=shift key tick files=/f tick",
            {"conversions /f"});

        row("paused", "off down drag tick tick up tick", {});
        row("pausing waits for a press", drag + "off tick up tick down drag tick", {"end"});
        row("late answer",
            "down drag tick up tick down drag tick files=/old tick files=/new tick mods=shift tick",
            {"conversions /new"});
    }

    void scripts()
    {
        QFETCH(QString, script);
        Settings::store()->clear();
        Settings::shared().reload();
        QStringList seen;
        auto* source = new FakeSource;
        DragMonitor monitor{std::unique_ptr<DragSource>(source)};
        monitor.setOnModeKey(
            [&](WheelMode m, const QStringList& f) { seen << rawValue(m) + ' ' + f.join(','); });
        monitor.setOnCancel([&] { seen << "cancel"; });
        monitor.setOnDragEnd([&] { seen << "end"; });
        monitor.start();

        for (const QString& step : script.split(' ', Qt::SkipEmptyParts)) {
            const QString key = step.section('=', 0, 0);
            const QStringList values =
                step.section('=', 1).split(QRegularExpression("[,+]"), Qt::SkipEmptyParts);
            if (key == "down" || key == "up") source->button = key == "down";
            if (key == "down") emit source->buttonPressed();
            if (key == "drag") ++source->count;
            if (key == "esc" || key == "noesc") source->esc = key == "esc";
            if (key == "off") Settings::shared().setEnabled(false);
            if (key == "files") QVERIFY(!source->requests.isEmpty());
            if (key == "files") source->requests.takeFirst()(values);
            if (key == "locks") source->locks = 1u << 4 | 1u << 1;
            if (key == "tools") Settings::shared().setToolsKey(*modifierKeyFromRaw(values[0]));
            if (key == "mods") {
                source->mods = 0;
                for (const QString& k : values)
                    source->mods |= DragMonitor::maskOf(*modifierKeyFromRaw(k));
            }
            if (key == "tick") monitor.tick();
            if (key == "key") emit source->keysChanged();
        }
        QTEST(seen, "log");
        QVERIFY(source->requests.isEmpty());
    }
};

QTEST_GUILESS_MAIN(DragMonitorTest)
#include "test_dragmonitor.moc"
