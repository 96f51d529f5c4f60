// Where each petal's drop goes, with every route recorded instead of run; and the toast that
// stands in for tool windows.

#include "app/dispatcher.h"
#include "app/hud.h"
#include "app/hudview.h"
#include "app/toast.h"
#include "app/toolwindows.h"
#include "core/job.h"

#include <QApplication>
#include <QDir>
#include <QtTest>

namespace {

// One call of a route, written as text so that a table can hold what is expected.
struct Recorder
{
    QStringList calls;

    static QString names(const QStringList& files)
    {
        QStringList out;
        for (const QString& f : files)
            out << QFileInfo(f).fileName();
        return out.join(',');
    }
    static QString point(std::optional<QPointF> at)
    {
        return at ? QStringLiteral("@%1,%2").arg(at->x()).arg(at->y()) : QStringLiteral("@none");
    }

    Dispatcher::Routes routes()
    {
        return {
            [this](const QString& title, const QString& target, const QStringList& files,
                   std::optional<QPointF> at) {
                calls << QStringLiteral("convert %1|%2|%3 %4").arg(title, target, names(files), point(at));
            },
            [this](ToolID tool, const QStringList& files, std::optional<QPointF> at) {
                calls << QStringLiteral("instant %1 %2 %3").arg(rawValue(tool), names(files), point(at));
            },
            [this](ToolID tool, const QStringList& files) {
                calls << QStringLiteral("window %1 %2").arg(rawValue(tool), names(files));
            },
            [this](ActionID action, const QStringList& files) {
                calls << QStringLiteral("action %1 %2").arg(rawValue(action), names(files));
            },
            [this](const QString& title, const QString& detail) {
                calls << QStringLiteral("note %1|%2").arg(title, detail);
            }};
    }
};

} // namespace

class DispatcherTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

  private slots:
    void initTestCase()
    {
        // Folders are told apart by the file system: a plain one and a document package.
        QVERIFY(QDir(m_dir.path()).mkpath("Photos") && QDir(m_dir.path()).mkpath("Report.pages"));
    }

    void formats_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QString>("call");
        const auto row = [](const char* name, const char* target, const QStringList& files,
                            const QString& call) {
            QTest::newRow(name) << target << files << (call.startsWith("note") ? call : call + " @3,4");
        };
        // Files already of the target kind are left out, and when none is left a note says so.
        row("jpg, png and jpeg on JPG", "jpg", {"a.jpg", "b.png", "c.jpeg"},
            "convert Converting to JPG|jpg|b.png");
        row(".tar.gz on GZIP", "gz", {"backup.tar.gz"}, "note Already GZIP|backup.tar.gz");
        row(".tar.gz on ZIP", "zip", {"backup.TAR.GZ"}, "convert Converting to ZIP|zip|backup.TAR.GZ");
        row("alias of the target", "tiff", {"scan.TIF", "scan.tiff"}, "note Already TIFF|2 items");
        // A plain folder and unknown kinds pass to the converter; a package is of its kind.
        row("a plain folder passes", "pdf", {"Photos", "Report.pages"},
            "convert Converting to PDF|pdf|Photos,Report.pages");
        row("a package is its kind", "pages", {"Report.pages", "x.md"},
            "convert Converting to PAGES|pages|x.md");
        row("unknown kinds pass", "pdf", {"notes.xyz", "README"},
            "convert Converting to PDF|pdf|notes.xyz,README");
        row("clipping", "textClipping", {"a.txt"}, "convert Converting to CLIPPING|textClipping|a.txt");
    }

    void formats()
    {
        QFETCH(QString, target);
        QFETCH(QStringList, files);
        for (QString& f : files)
            f = m_dir.filePath(f);
        Recorder r;
        Dispatcher::perform(WheelItem::format(target), files, QPointF(3, 4), r.routes());
        QCOMPARE(r.calls.size(), 1);
        QTEST(r.calls.first(), "call");
    }

    // The four windowless tools run at once near the drop; every other tool opens its window.
    void toolsAndActions()
    {
        const QStringList files{m_dir.filePath("a.mov"), m_dir.filePath("b.mov")};
        const QSet<ToolID> windowless{ToolID::muteVideo, ToolID::splitPDF, ToolID::extractArchive,
                                      ToolID::createPDF};
        for (ToolID tool : allToolIds()) {
            Recorder r;
            Dispatcher::perform(WheelItem::tool(tool), files, QPointF(5, 6), r.routes());
            const QString expected = windowless.contains(tool)
                                         ? QStringLiteral("instant %1 a.mov,b.mov @5,6").arg(rawValue(tool))
                                         : QStringLiteral("window %1 a.mov,b.mov").arg(rawValue(tool));
            QCOMPARE(r.calls, QStringList{expected});
        }
        for (ActionID action : allActionIds()) {
            Recorder r;
            Dispatcher::perform(WheelItem::action(action), files, QPointF(5, 6), r.routes());
            QCOMPARE(r.calls, QStringList{QStringLiteral("action %1 a.mov,b.mov").arg(rawValue(action))});
        }
    }

    void emptyDropStartsNothing()
    {
        Recorder r;
        for (const WheelItem& item : {WheelItem::format("pdf"), WheelItem::tool(ToolID::muteVideo),
                                      WheelItem::tool(ToolID::trimVideo), WheelItem::action(ActionID::copy)})
            Dispatcher::perform(item, {}, QPointF(), r.routes());
        QCOMPARE(r.calls, QStringList{});
    }

    // Until tool windows exist, a toast names the tool; it is a finished job without a bar.
    void toolWindowToastNamesTheTool()
    {
        HUD& hud = HUD::shared();
        const qsizetype before = hud.order().size();
        ToolWindows::open(ToolID::trimVideo, {m_dir.filePath("a.mov")});
        QCOMPARE(hud.order().size(), before + 1);
        QWidget* panel = hud.panel(hud.order().last());
        QVERIFY(panel && panel->isVisible());
        const std::shared_ptr<Job> job = panel->findChild<HUDView*>()->job();
        QCOMPARE(job->title(), QString("Trim Video"));
        QCOMPARE(job->state().phase, Job::Phase::done);
        QVERIFY(!job->showsProgress());
        QVERIFY(hud.pendingDismissal(job->id()).has_value());
    }
};

QTEST_MAIN(DispatcherTest)
#include "test_dispatcher.moc"
