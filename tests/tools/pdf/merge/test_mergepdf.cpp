// The Merge PDFs tool: the rows' details, read in the background, reordering by dragging a row,
// and the merged PDF read back through Poppler; links, bookmarks, attached files, form fields
// and restrictions of every file kept (read back through qpdf); a locked file fails the merge
// and leaves nothing.

#include "core/fmt.h"
#include "core/job.h"
#include "core/shell.h"
#include "toolkit/orderlist.h"
#include "toolkit/pools.h"
#include "toolkit/primarybutton.h"
#include "tools/pdf/merge/mergepdfview.h"
#include "tools/pdf/merge/mergepdfwork.h"

#include <QDir>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "../../../support/linkedpdfs.h"
#include "../../../support/orderlistdrag.h"
#include "../../../support/pdfpagesfixture.h"
#include "../../../support/toolharness.h"

namespace {

// A row's detail with the page count read now.
QString detailNow(const QString& path)
{
    return MergePDFView::detail(path, MergePDFView::pageCount(path));
}

} // namespace

class MergePdfTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

  private slots:
    void initTestCase()
    {
        QVERIFY(PagesFixture::write(path("a.pdf"), 2, {}, "A"));
        QVERIFY(PagesFixture::write(path("b.pdf"), 1, {90}, "B"));
        QVERIFY(PagesFixture::write(path("c.pdf"), 3, {}, "C"));
        QCOMPARE(Shell::run("/usr/bin/qpdf",
                            {"--encrypt", "user", "owner", "256", "--", path("a.pdf"), path("locked.pdf")})
                     .status,
                 0);
        QFile junk(path("junk.pdf"));
        QVERIFY(junk.open(QIODevice::WriteOnly) && junk.write("not a PDF at all") > 0);
    }

    void rowDetails()
    {
        const auto size = [this](const QString& name) { return Fmt::byteCount(Fmt::fileSize(path(name))); };
        QCOMPARE(detailNow(path("a.pdf")), "2 pages · " + size("a.pdf"));
        QCOMPARE(detailNow(path("b.pdf")), "1 page · " + size("b.pdf"));
        QCOMPARE(detailNow(path("junk.pdf")), "0 pages · " + size("junk.pdf"));
        QCOMPARE(detailNow(path("locked.pdf")), "0 pages · " + size("locked.pdf"));
        QCOMPARE(MergePDFView::detail(path("c.pdf"), std::nullopt), size("c.pdf"));
    }

    // While every loader thread is taken the window opens at once, its rows showing their sizes
    // alone and Merge held back; the counts arrive once the loader is free.
    void pageCountsAreReadInTheBackground()
    {
        ToolHarness harness;
        QThreadPool& loader = Pools::loader();
        const auto gate = std::make_shared<QSemaphore>();
        struct Opening
        {
            std::shared_ptr<QSemaphore> gate;
            int threads;
            ~Opening() { gate->release(threads); }
        } opening{gate, loader.maxThreadCount()};
        for (int i = 0; i < opening.threads; ++i)
            loader.start([gate] { gate->acquire(); });

        ToolWindow* window = ToolWindows::open(ToolID::mergePDF, {path("a.pdf"), path("c.pdf")});
        auto* view = window ? qobject_cast<MergePDFView*>(window->view()) : nullptr;
        QVERIFY(view);
        QCoreApplication::processEvents();
        QVERIFY(!view->isSettled());
        QVERIFY(!view->primaryButton()->isEnabled());
        QCOMPARE(view->list()->detail(path("a.pdf")), Fmt::byteCount(Fmt::fileSize(path("a.pdf"))));

        gate->release(std::exchange(opening.threads, 0));
        QTRY_VERIFY_WITH_TIMEOUT(view->isSettled(), ToolHarness::limitMs);
        QCOMPARE(view->list()->detail(path("a.pdf")), detailNow(path("a.pdf")));
        QCOMPARE(view->list()->detail(path("c.pdf")), detailNow(path("c.pdf")));
        QVERIFY(view->primaryButton()->isEnabled());
    }

    // [a, b, c] dragged into [c, a, b]: the result is named after c and starts with its pages;
    // a second merge takes " 2".
    void mergesInTheArrangedOrder()
    {
        ToolHarness harness;
        auto* view =
            harness.open<MergePDFView>(ToolID::mergePDF, {path("a.pdf"), path("b.pdf"), path("c.pdf")});
        QVERIFY(view);
        QCOMPARE(view->primaryButton()->text(), QString("Merge 3 PDFs"));
        QSignalSpy changed(view->list(), &OrderList::urlsChanged);
        drag(*view->list(), 3, 1);
        QCOMPARE(view->list()->urls(), (QStringList{path("c.pdf"), path("a.pdf"), path("b.pdf")}));
        QCOMPARE(changed.size(), 1);
        QCOMPARE(view->list()->detail(path("c.pdf")), detailNow(path("c.pdf")));
        const std::shared_ptr<Job> job = harness.apply(*view);
        QVERIFY(job);
        QCOMPARE(job->state().phase, Job::Phase::done);
        QCOMPARE(job->detail(), QString("3 files"));
        QCOMPARE(job->results(), QStringList{path("c Merged.pdf")});
        QCOMPARE(PagesFixture::read(job->results()[0]),
                 (QStringList{"C1@0", "C2@0", "C3@0", "A1@0", "A2@0", "B1@90"}));
        QCOMPARE(PagesFixture::info(job->results()[0], "Title"), QString()); // nothing carried over

        auto* again = harness.open<MergePDFView>(ToolID::mergePDF, {path("c.pdf"), path("b.pdf")});
        QVERIFY(again);
        QCOMPARE(again->primaryButton()->text(), QString("Merge 2 PDFs"));
        const std::shared_ptr<Job> second = harness.apply(*again);
        QVERIFY(second);
        QCOMPARE(second->results(), QStringList{path("c Merged 2.pdf")});
        QCOMPARE(PagesFixture::read(second->results()[0]), (QStringList{"C1@0", "C2@0", "C3@0", "B1@90"}));
        QFile::remove(path("c Merged.pdf"));
        QFile::remove(path("c Merged 2.pdf"));
    }

    // Each file's links, named destinations and bookmarks lead into its own pages, also when a
    // file comes twice and its names meet themselves; every file's attached files, comments and
    // fields are there, and the owner's restrictions of one file hold for the whole.
    void linksAndBookmarksOfEveryFileAreKept()
    {
        QVERIFY(LinkedPdfs::paper(path("paper.pdf")));
        if (!Shell::find("soffice")) QSKIP("LibreOffice is not installed");
        const QString guide = LinkedPdfs::guide(m_dir.path());
        QVERIFY(!guide.isEmpty());
        Job job("", "", 0);
        const QStringList written =
            MergePDFWork::merge({path("paper.pdf"), guide, path("paper.pdf")}, job, [](double) {});
        QCOMPARE(written, QStringList{path("paper Merged.pdf")});
        const LinkedPdfs::Structure s = LinkedPdfs::read(written[0]);
        QCOMPARE(s.pages, 10);
        const QList<QList<int>> links{{3}, {3}, {1}, {5, 7, 6}, {4}, {}, {5}, {10}, {10}, {8}};
        const QMap<QString, int> names{{"intro", 1},    {"method", 2},    {"results", 3}, {"First", 4},
                                       {"Second", 5},   {"Third", 6},     {"Fourth", 7},  {"intro-2", 8},
                                       {"method-2", 9}, {"results-2", 10}};
        QVERIFY2(s.links == links && s.names == names, qPrintable(s.linksText()));
        QCOMPARE(s.bookmarks,
                 (QStringList{"Intro 1", "Method 2 (closed)", ">Results 3", "First 4", "Second 5", "Third 6",
                              "Fourth 7", "Intro 8", "Method 9 (closed)", ">Results 10"}));
        QCOMPARE(s.commentFiles, (QStringList{"data.csv@2", "data.csv@9"}));
        QCOMPARE(s.misplaced, 0);
        QStringList fields = s.fields;
        fields.sort();
        QCOMPARE(fields, (QStringList{"Name=Ann Lee@4", "Reviewer+1=Bo Berg@10", "Reviewer=Bo Berg@3"}));
        // The paper's notes, listed twice, are kept once; the guide's of the same name beside them.
        QCOMPARE(s.attachments, (QStringList{"notes 2.txt", "notes.txt", "table.csv"}));
        QCOMPARE(LinkedPdfs::attachment(written[0], "notes.txt"), QByteArray("paper notes\n"));
        QCOMPARE(LinkedPdfs::attachment(written[0], "notes 2.txt"), QByteArray("guide notes\n"));
        QVERIFY(s.encrypted && !s.canPrint && !s.canModify);
        QCOMPARE(job.notes().size(), 1);
        QVERIFY2(job.notes()[0].contains("restrictions of guide restricted.pdf"), qPrintable(job.notes()[0]));
        QFile::remove(written[0]);
    }

    // Ghostscript's named destinations, stored in dictionaries, lead to its pages, and so do its
    // links and bookmarks through them: nothing is said to be lost.
    void ghostscriptDestinationsAreKept()
    {
        QVERIFY(LinkedPdfs::ghostscriptPaper(path("gs paper.pdf")));
        Job job("", "", 0);
        const QStringList written =
            MergePDFWork::merge({path("gs paper.pdf"), path("a.pdf")}, job, [](double) {});
        QCOMPARE(written.size(), 1);
        const LinkedPdfs::Structure s = LinkedPdfs::read(written[0]);
        const QList<QList<int>> links{{3}, {}, {1}, {}, {}};
        const QMap<QString, int> names{{"intro", 1}, {"method", 2}, {"results", 3}};
        QVERIFY2(s.pages == 5 && s.links == links && s.names == names, qPrintable(s.linksText()));
        QCOMPARE(s.bookmarks, (QStringList{"Intro 1", "Results 3"}));
        QCOMPARE(job.notes(), QStringList());
        QFile::remove(written[0]);
    }

    // Of two files the owners restricted differently, the first one's restrictions hold, and the
    // note names the other.
    void theFirstRestrictionsHold()
    {
        for (const auto& [name, forbidden] :
             {std::pair{"no printing.pdf", "--print=none"}, std::pair{"no changes.pdf", "--modify=none"}})
            QCOMPARE(LinkedPdfs::run("qpdf", {"--encrypt", "", "owner", "256", forbidden, "--", path("b.pdf"),
                                              path(name)}),
                     0);
        Job job("", "", 0);
        const QStringList written = MergePDFWork::merge(
            {path("a.pdf"), path("no printing.pdf"), path("no changes.pdf")}, job, [](double) {});
        QCOMPARE(written.size(), 1);
        const LinkedPdfs::Structure s = LinkedPdfs::read(written[0]);
        QVERIFY(s.pages == 4 && s.encrypted && !s.canPrint && s.canModify);
        QCOMPARE(job.notes(),
                 QStringList{"The merged PDF carries the owner’s restrictions of no printing.pdf, "
                             "not those of no changes.pdf"});
        QFile::remove(written[0]);
    }

    void aLockedFileFailsTheMerge()
    {
        const QStringList before = QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden);
        ToolHarness harness;
        auto* view = harness.open<MergePDFView>(ToolID::mergePDF, {path("a.pdf"), path("locked.pdf")});
        QVERIFY(view);
        const std::shared_ptr<Job> job = harness.apply(*view);
        QVERIFY(job);
        QCOMPARE(job->state(), Job::State::failed("locked.pdf is password-protected"));
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden), before);
    }
};

QTEST_MAIN(MergePdfTest)
#include "test_mergepdf.moc"
