// The Merge PDFs tool: the rows' details, reordering by dragging a row, and the merged PDF read
// back through Poppler; a locked file fails the merge and leaves nothing.

#include "core/fmt.h"
#include "core/job.h"
#include "core/shell.h"
#include "toolkit/orderlist.h"
#include "toolkit/primarybutton.h"
#include "tools/pdf/merge/mergepdfview.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "../../../support/orderlistdrag.h"
#include "../../../support/pdfpagesfixture.h"
#include "../../../support/toolharness.h"

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
        QCOMPARE(MergePDFView::detail(path("a.pdf")), "2 pages · " + size("a.pdf"));
        QCOMPARE(MergePDFView::detail(path("b.pdf")), "1 page · " + size("b.pdf"));
        QCOMPARE(MergePDFView::detail(path("junk.pdf")), "0 pages · " + size("junk.pdf"));
        QCOMPARE(MergePDFView::detail(path("locked.pdf")), "0 pages · " + size("locked.pdf"));
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
        QCOMPARE(view->list()->detail(path("c.pdf")), MergePDFView::detail(path("c.pdf")));
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
