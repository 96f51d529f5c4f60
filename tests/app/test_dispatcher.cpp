// Where each petal's drop goes, with every route recorded instead of run; and the toast that
// stands in for tool windows.

#include "app/dispatcher.h"
#include "app/hud.h"
#include "app/hudview.h"
#include "core/converterror.h"
#include "core/job.h"
#include "toolkit/toolwindow.h"
#include "tools/toolwindows.h"

#include <QApplication>
#include <QDir>
#include <QtTest>

namespace {

// Each call of a route, written as text so that a table can hold what is expected.
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
        return QStringLiteral("@%1,%2").arg(at->x()).arg(at->y());
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
                calls << "window " + rawValue(tool) + ' ' + names(files);
            },
            [this](ActionID action, const QStringList& files) {
                calls << "action " + rawValue(action) + ' ' + names(files);
            },
            [this](const QString& title, const QString& detail) { calls << "note " + title + '|' + detail; }};
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

    // Files already of the target kind are left out, and when none is left a note says so; plain
    // folders and unknown kinds pass to the converter, a package is of its kind.
    void formats()
    {
        const std::tuple<QString, QStringList, QString> rows[] = {
            {"jpg", {"a.jpg", "b.png", "c.jpeg"}, "convert Converting to JPG|jpg|b.png @3,4"},
            {"gz", {"backup.tar.gz"}, "note Already GZIP|backup.tar.gz"},
            {"zip", {"backup.TAR.GZ"}, "convert Converting to ZIP|zip|backup.TAR.GZ @3,4"},
            {"tiff", {"scan.TIF", "scan.tiff"}, "note Already TIFF|2 items"},
            {"pdf", {"Photos", "Report.pages"}, "convert Converting to PDF|pdf|Photos,Report.pages @3,4"},
            {"pages", {"Report.pages", "x.md"}, "convert Converting to PAGES|pages|x.md @3,4"},
            {"pdf", {"notes.xyz", "README"}, "convert Converting to PDF|pdf|notes.xyz,README @3,4"},
            {"textClipping", {"a.txt"}, "convert Converting to CLIPPING|textClipping|a.txt @3,4"},
        };
        for (auto [target, files, call] : rows) {
            for (QString& f : files)
                f = m_dir.filePath(f);
            Recorder r;
            Dispatcher::perform(WheelItem::format(target), files, QPointF(3, 4), r.routes());
            QCOMPARE(r.calls, QStringList{call});
        }
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

    // A windowless tool whose module can't be loaded says why, instead of ending the tray.
    void unloadableToolModuleIsSaid()
    {
        Recorder r;
        Dispatcher::Routes routes = r.routes();
        routes.instant = [](ToolID, const QStringList&, std::optional<QPointF>) {
            throw ConvertError::failed(
                QStringLiteral("Tolvane can’t load its part libtolvane_engines_heavy.so"));
        };
        Dispatcher::perform(WheelItem::tool(ToolID::splitPDF), {m_dir.filePath("a.pdf")}, QPointF(), routes);
        QCOMPARE(r.calls, QStringList{"note SPLIT|Tolvane can’t load its part libtolvane_engines_heavy.so"});
    }

    // A drop of nothing (the files vanished on the way) starts nothing.
    void emptyDropStartsNothing()
    {
        Recorder r;
        for (const WheelItem& item : {WheelItem::format("pdf"), WheelItem::tool(ToolID::muteVideo),
                                      WheelItem::tool(ToolID::trimVideo), WheelItem::action(ActionID::copy)})
            Dispatcher::perform(item, {}, QPointF(), r.routes());
        QCOMPARE(r.calls, QStringList{});
    }

    // A tool petal that needs a window opens that tool's window for the dropped files.
    void toolPetalOpensItsWindow()
    {
        const qsizetype before = ToolWindows::openWindows().size();
        Dispatcher::perform(WheelItem::tool(ToolID::trimVideo), {m_dir.filePath("a.mov")}, QPointF());
        const QList<ToolWindow*> open = ToolWindows::openWindows();
        QCOMPARE(open.size(), before + 1);
        QVERIFY(open.last()->isVisible());
        open.last()->close();
    }
};

QTEST_MAIN(DispatcherTest)
#include "test_dispatcher.moc"
