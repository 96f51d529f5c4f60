// The Organize PDF tool: the page list's edits, the window driven with the mouse and its
// buttons down to the PDF it writes (read back through Poppler), links, bookmarks, attached
// files, form fields and restrictions carried to their pages' copies (read back through qpdf),
// files it refuses, and its page pictures stopping when asked.

#include "core/job.h"
#include "core/shell.h"
#include "toolkit/loadingview.h"
#include "toolkit/pools.h"
#include "toolkit/primarybutton.h"
#include "toolkit/secondarybutton.h"
#include "tools/pdf/organize/organizepdfview.h"
#include "tools/pdf/organize/organizepdfwork.h"
#include "tools/pdf/organize/pagegrid.h"
#include "tools/pdf/organize/pagelist.h"
#include "tools/pdf/organize/pagethumbs.h"

#include <QLabel>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "../../../support/linkedpdfs.h"
#include "../../../support/pdfpagesfixture.h"
#include "../../../support/toolharness.h"

namespace {

// The tiles' pages, 1-based, with their rotation when not 0: "2r90".
QStringList order(const PageList& list)
{
    QStringList out;
    for (const PageItem& page : list.pages())
        out << QString::number(page.source + 1) + (page.rotation ? "r" + QString::number(page.rotation) : "");
    return out;
}

quint64 idAt(const PageList& list, int position)
{
    return list.pages()[position - 1].id;
}

QPoint tile(const PageGrid& grid, int position)
{
    return grid.frameRect(position - 1).center().toPoint();
}

void click(PageGrid& grid, int position, Qt::KeyboardModifiers modifiers = {})
{
    QTest::mouseClick(&grid, Qt::LeftButton, modifiers, tile(grid, position));
}

void mouse(QWidget& widget, QEvent::Type type, QPoint at, Qt::MouseButtons held)
{
    QMouseEvent event(type, at, widget.mapToGlobal(at),
                      type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, held, Qt::NoModifier);
    QCoreApplication::sendEvent(&widget, &event);
}

// Presses on tile `from`, moves over tile `to` and lets go there.
void drag(PageGrid& grid, int from, int to)
{
    const QPoint start = tile(grid, from), end = tile(grid, to);
    mouse(grid, QEvent::MouseButtonPress, start, Qt::LeftButton);
    mouse(grid, QEvent::MouseMove, start + QPoint(0, 30), Qt::LeftButton);
    mouse(grid, QEvent::MouseMove, end, Qt::LeftButton);
    mouse(grid, QEvent::MouseButtonRelease, end, Qt::NoButton);
}

} // namespace

class OrganizePdfTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

  private slots:
    void initTestCase()
    {
        QVERIFY(PagesFixture::write(path("report.pdf"), 4, {0, 90}));
        QVERIFY(PagesFixture::write(path("long.pdf"), 80));
        QCOMPARE(Shell::run("/usr/bin/qpdf", {"--encrypt", "user", "owner", "256", "--", path("report.pdf"),
                                              path("locked.pdf")})
                     .status,
                 0);
    }

    void cleanup()
    {
        for (ToolWindow* w : ToolWindows::openWindows())
            w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void listEdits()
    {
        PageList list;
        list.reset(4);
        QSignalSpy changed(&list, &PageList::changed);
        // Rotation stays in 0…359 both ways.
        list.tap(idAt(list, 1), false);
        list.rotate(-90);
        QCOMPARE(order(list), (QStringList{"1r270", "2", "3", "4"}));
        list.rotate(90);
        QCOMPARE(order(list), (QStringList{"1", "2", "3", "4"}));
        // Copies follow their tiles; the originals stay selected, the copies are not.
        const quint64 two = idAt(list, 2), four = idAt(list, 4);
        list.tap(two, false);
        list.tap(four, true);
        QVERIFY(list.canDelete());
        list.duplicate();
        QCOMPARE(order(list), (QStringList{"1", "2", "2", "3", "4", "4"}));
        QCOMPARE(list.selection(), (QSet<quint64>{two, four}));
        QVERIFY(idAt(list, 3) != two && idAt(list, 6) != four);
        // A plain click leaves one selected; a Ctrl-click on it deselects it.
        list.tap(four, false);
        QCOMPARE(list.selection(), QSet<quint64>{four});
        list.tap(four, true);
        QVERIFY(list.selection().isEmpty() && !list.canDelete());
        // Deleting keeps the order of the rest and clears the selection; never all of them.
        list.tap(idAt(list, 1), false);
        list.tap(idAt(list, 3), true);
        list.remove();
        QCOMPARE(order(list), (QStringList{"2", "3", "4", "4"}));
        QVERIFY(list.selection().isEmpty());
        for (int i = 1; i <= 4; ++i)
            list.tap(idAt(list, i), true);
        QVERIFY(!list.canDelete());
        // The dragged tile takes the place of the tile it enters.
        list.reset(4);
        list.dragEntered(idAt(list, 1), idAt(list, 3));
        QCOMPARE(order(list), (QStringList{"2", "3", "1", "4"}));
        list.reset(4);
        list.dragEntered(idAt(list, 4), idAt(list, 2));
        QCOMPARE(order(list), (QStringList{"1", "4", "2", "3"}));
        changed.clear();
        list.dragEntered(idAt(list, 2), idAt(list, 2));
        QCOMPARE(changed.size(), 0);
        QCOMPARE(order(list), (QStringList{"1", "4", "2", "3"}));
    }

    // Clicks, Ctrl-clicks, the toolbar and a drag, then Save: the PDF holds what was shown.
    void theWindowWritesWhatWasArranged()
    {
        ToolHarness harness;
        auto* view = harness.open<OrganizePDFView>(ToolID::organizePDF, {path("report.pdf")});
        QVERIFY(view);
        PageGrid& grid = *view->grid();
        QCOMPARE(view->counter()->text(), QString("4 pages"));
        QVERIFY(view->primaryButton()->isEnabled());
        QTRY_COMPARE_WITH_TIMEOUT(view->thumbs().pictures().size(), 4, 30000);
        QVERIFY(!view->rotateRightButton()->isEnabled() && !view->deleteButton()->isEnabled());

        click(grid, 2);
        view->rotateRightButton()->click();
        click(grid, 4, Qt::ControlModifier);
        view->duplicateButton()->click();
        QCOMPARE(order(view->pages()), (QStringList{"1", "2r90", "2r90", "3", "4", "4"}));
        click(grid, 1);
        QVERIFY(view->deleteButton()->isEnabled());
        view->deleteButton()->click();
        drag(grid, 5, 1);
        QCOMPARE(order(view->pages()), (QStringList{"4", "2r90", "2r90", "3", "4"}));
        QCOMPARE(view->counter()->text(), QString("5 pages"));
        view->rotateLeftButton()->click(); // the selection went with Delete: nothing turns
        QCOMPARE(order(view->pages()), (QStringList{"4", "2r90", "2r90", "3", "4"}));

        const std::shared_ptr<Job> job = harness.apply(*view);
        QVERIFY(job);
        QCOMPARE(job->state().phase, Job::Phase::done);
        QCOMPARE(job->results(), QStringList{path("report Organized.pdf")});
        // Page 2 stood at 90 of its own: turned 90 more it reads upside down.
        QCOMPARE(PagesFixture::read(job->results()[0]),
                 (QStringList{"Page4@0", "Page2@180", "Page2@180", "Page3@0", "Page4@0"}));
        QCOMPARE(PagesFixture::info(job->results()[0], "Title"), QString("Quarterly"));

        // Reset brings back the document's pages as they are.
        auto* again = harness.open<OrganizePDFView>(ToolID::organizePDF, {path("report.pdf")});
        QVERIFY(again);
        click(*again->grid(), 1);
        again->deleteButton()->click();
        again->resetButton()->click();
        QCOMPARE(order(again->pages()), (QStringList{"1", "2", "3", "4"}));
        QFile::remove(path("report Organized.pdf"));
    }

    // Every link, named destination and bookmark whose page is kept leads to its first copy, on
    // turned and repeated pages too; what leads only to pages left out goes, and the note says
    // so. Attached files, filled fields and the owner's restrictions stay.
    void linksAndBookmarksFollowTheirPages()
    {
        QVERIFY(LinkedPdfs::paper(path("paper.pdf")));
        QVERIFY(LinkedPdfs::ghostscriptPaper(path("gs paper.pdf")));
        if (!Shell::find("soffice")) QSKIP("LibreOffice is not installed");
        const QString guide = LinkedPdfs::guide(m_dir.path());
        QVERIFY(!guide.isEmpty());
        const QStringList guideFiles{"notes.txt", "table.csv"};
        struct Row
        {
            QString name, source;
            std::vector<PageChoice> pages;
            QList<QList<int>> links;
            QMap<QString, int> names;
            QStringList bookmarks, fields, attachments, commentFiles;
            QStringList notes; // a word or two of each note, in order
        };
        const QList<Row> rows{
            {"the guide as it is",
             guide,
             {{0, 0}, {1, 0}, {2, 0}, {3, 0}},
             {{2, 4, 3}, {1}, {}, {2}},
             {{"First", 1}, {"Second", 2}, {"Third", 3}, {"Fourth", 4}},
             {"First 1", "Second 2", "Third 3", "Fourth 4"},
             {"Name=Ann Lee@1"},
             guideFiles,
             {},
             {}},
            {"the guide reordered, its third page twice, its first turned",
             guide,
             {{3, 0}, {2, 0}, {2, 0}, {0, 90}, {1, 0}},
             {{5}, {}, {}, {5, 1, 2}, {4}},
             {{"First", 4}, {"Second", 5}, {"Third", 2}, {"Fourth", 1}},
             {"First 4", "Second 5", "Third 2", "Fourth 1"},
             {"Name=Ann Lee@4"},
             guideFiles,
             {},
             {}},
            {"the guide without its third page",
             guide,
             {{0, 0}, {1, 0}, {3, 0}},
             {{2, 3}, {1}, {2}},
             {{"First", 1}, {"Second", 2}, {"Fourth", 3}},
             {"First 1", "Second 2", "Fourth 3"},
             {"Name=Ann Lee@1"},
             guideFiles,
             {},
             {"1 link", "“Third”"}},
            // Page 2's link to page 3 by its number leads to the first of its two copies.
            {"the paper without its first page, its last page twice",
             path("paper.pdf"),
             {{1, 0}, {2, 0}, {2, 0}},
             {{2}, {}, {}},
             {{"method", 1}, {"results", 2}},
             {"Method 1 (closed)", ">Results 2"},
             {"Reviewer=Bo Berg@2", "Reviewer+1=Bo Berg@3"},
             {"notes.txt"},
             {"data.csv@1"},
             {"2 links", "“Intro”"}},
            // Ghostscript stores its named destinations in dictionaries.
            {"Ghostscript's paper as it is",
             path("gs paper.pdf"),
             {{0, 0}, {1, 0}, {2, 0}},
             {{3}, {}, {1}},
             {{"intro", 1}, {"method", 2}, {"results", 3}},
             {"Intro 1", "Results 3"},
             {},
             {},
             {},
             {}},
            {"Ghostscript's paper without its first page",
             path("gs paper.pdf"),
             {{1, 0}, {2, 0}},
             {{}, {}},
             {{"method", 1}, {"results", 2}},
             {"Results 2"},
             {},
             {},
             {},
             {"1 link", "“Intro”"}},
            {"the paper backwards without its second page, its last page twice",
             path("paper.pdf"),
             {{2, 0}, {2, 0}, {0, 0}},
             {{3}, {3}, {1}},
             {{"intro", 3}, {"results", 1}},
             {"Intro 3", "Method 0 (closed)", ">Results 1"},
             {"Reviewer=Bo Berg@1", "Reviewer+1=Bo Berg@2"},
             {"data.csv", "notes.txt"},
             {},
             {"“Method”"}},
        };
        for (const Row& row : rows) {
            QFile::remove(path(QFileInfo(row.source).completeBaseName() + " Organized.pdf"));
            Job job("", "", 0);
            const QStringList written = OrganizePDFWork::organize(row.source, row.pages, job, [](double) {});
            QCOMPARE(written.size(), 1);
            const LinkedPdfs::Structure s = LinkedPdfs::read(written[0]);
            const QByteArray name = row.name.toUtf8();
            QVERIFY2(s.pages == int(row.pages.size()), name);
            QVERIFY2(s.links == row.links && s.names == row.names,
                     qPrintable(row.name + ": " + s.linksText()));
            QVERIFY2(s.bookmarks == row.bookmarks, qPrintable(row.name + ": " + s.bookmarks.join(", ")));
            QVERIFY2(s.fields == row.fields, qPrintable(row.name + ": " + s.fields.join(", ")));
            QVERIFY2(s.attachments == row.attachments,
                     qPrintable(row.name + ": " + s.attachments.join(", ")));
            QVERIFY2(s.commentFiles == row.commentFiles && s.misplaced == 0, name);
            // The owner forbade printing and changes; the copy keeps that, and opens as freely.
            const bool restricted = row.source == guide;
            QVERIFY2(s.encrypted == restricted && s.canPrint != restricted && s.canModify != restricted,
                     name);
            QVERIFY2(job.notes().size() == row.notes.size(),
                     qPrintable(row.name + ": " + job.notes().join(" | ")));
            for (qsizetype i = 0; i < row.notes.size(); ++i)
                QVERIFY2(job.notes()[i].contains(row.notes[i]), qPrintable(job.notes()[i]));
        }
        QCOMPARE(LinkedPdfs::attachment(path("paper Organized.pdf"), "data.csv"), QByteArray("a,b\n1,2\n"));
        QCOMPARE(LinkedPdfs::attachment(path("guide restricted Organized.pdf"), "notes.txt"),
                 QByteArray("guide notes\n"));
    }

    // A locked file says so in the window, which then has nothing to save.
    void aLockedFileIsRefused()
    {
        ToolHarness harness;
        auto* view = harness.open<OrganizePDFView>(ToolID::organizePDF, {path("locked.pdf")});
        QVERIFY(view);
        QCOMPARE(view->errorView()->error(), std::optional<QString>("locked.pdf is password-protected"));
        QCOMPARE(view->counter()->text(), QString("0 pages"));
        QVERIFY(!view->primaryButton()->isEnabled());
        QVERIFY(!harness.apply(*view));
    }

    // The file lost pages after the window read it: the save fails instead of writing fewer.
    void aPageGoneBySaveTimeFailsTheFile()
    {
        QVERIFY(PagesFixture::write(path("draft.pdf"), 4));
        ToolHarness harness;
        auto* view = harness.open<OrganizePDFView>(ToolID::organizePDF, {path("draft.pdf")});
        QVERIFY(view);
        QVERIFY(PagesFixture::write(path("draft.pdf"), 2));
        const std::shared_ptr<Job> job = harness.apply(*view);
        QVERIFY(job);
        QCOMPARE(job->state(), Job::State::failed("draft.pdf has no page 3"));
        QVERIFY(!QFile::exists(path("draft Organized.pdf")));
    }

    // Stopped pictures end at the next page; a source destroyed meanwhile is never called.
    void picturesStop()
    {
        PageThumbs whole(path("long.pdf"), OrganizePDFView::pictureBox);
        QTRY_VERIFY_WITH_TIMEOUT(whole.isSettled(), 30000);
        QVERIFY(!whole.hasFailed());
        QVERIFY(whole.pictures().size() >= PageThumbs::firstScreen);
        QTRY_COMPARE_WITH_TIMEOUT(whole.pictures().size(), 80, 30000);
        QVERIFY(!whole.pictures().value(79).isNull());

        PageThumbs stopped(path("long.pdf"), OrganizePDFView::pictureBox);
        stopped.stop();
        QTRY_VERIFY_WITH_TIMEOUT(stopped.isDone(), 30000);
        QCoreApplication::sendPostedEvents();
        QVERIFY(stopped.isSettled());
        QVERIFY(stopped.pictures().size() <= 1);

        // Closing the window stops its pictures.
        ToolWindow* window = ToolWindows::open(ToolID::organizePDF, {path("long.pdf")});
        auto* view = qobject_cast<OrganizePDFView*>(window->view());
        QVERIFY(view);
        view->windowClosed();
        QTRY_VERIFY_WITH_TIMEOUT(view->thumbs().isDone(), 30000);
        QCoreApplication::sendPostedEvents(); // the last hand-over
        QVERIFY(view->isSettled());
        QVERIFY(view->thumbs().pictures().size() < 80);

        delete new PageThumbs(path("long.pdf"), OrganizePDFView::pictureBox);
        QVERIFY(Pools::loader().waitForDone(30000));
        QCoreApplication::processEvents();
    }
};

QTEST_MAIN(OrganizePdfTest)
#include "test_organizepdf.moc"
