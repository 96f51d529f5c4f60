#include "engines/pdf/pdfpages.h"

#include "../../support/pdfpagesfixture.h"
#include "core/converterror.h"
#include "core/job.h"
#include "core/shell.h"

#include <QDir>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const Progress quiet = [](double) {};

// The message of the ConvertError `work` throws; none when it doesn't throw one.
template <class Work> std::optional<ConvertError> failure(Work work)
{
    try {
        work();
    } catch (const ConvertError& e) {
        return e;
    }
    return std::nullopt;
}

} // namespace

// Whole pages copied into new PDFs, read back through Poppler: order, rotation, duplicates,
// names, and the files refused.
class PdfPagesTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }
    QStringList files() const { return QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden); }

  private slots:
    void initTestCase()
    {
        QVERIFY(PagesFixture::write(path("report.pdf"), 4, {0, 90}));
        QVERIFY(PagesFixture::write(path("a.pdf"), 2, {}, "A"));
        QVERIFY(PagesFixture::write(path("b.pdf"), 1, {180}, "B"));
        QCOMPARE(Shell::run("/usr/bin/qpdf", {"--encrypt", "user", "owner", "256", "--", path("report.pdf"),
                                              path("locked.pdf")})
                     .status,
                 0);
        QVERIFY(PagesFixture::write(path("empty.pdf"), 0));
        // A form whose second page has a widget with its field written inline where a reference
        // belongs: qpdf reads and rewrites the file, yet can't carry that field into a new one.
        QFile form(path("form.txt"));
        QVERIFY(form.open(QIODevice::WriteOnly));
        form.write(
            "%PDF-1.7\n1 0 obj << /Type /Catalog /Pages 2 0 R /AcroForm << /Fields [5 0 R] >> >> endobj\n"
            "2 0 obj << /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 >> endobj\n"
            "3 0 obj << /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] >> endobj\n"
            "4 0 obj << /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Annots [5 0 R] >> endobj\n"
            "5 0 obj << /Type /Annot /Subtype /Widget /Rect [10 10 100 30] /FT /Tx /T (w)\n"
            "  /Parent << /FT /Tx /T (name) /Kids [5 0 R] >> >> endobj\n"
            "trailer << /Root 1 0 R >>\n%%EOF\n");
        form.close();
        Shell::run("/usr/bin/qpdf", {path("form.txt"), path("form.pdf")}); // warns of the missing xref
        QFile::remove(path("form.txt"));
        QCOMPARE(PDFPages::count(path("form.pdf")), 2);
    }

    // Reordered, turned (on top of the page's own rotation), duplicated and left out; the
    // document information is kept; a second result takes " 2".
    void organizeWritesTheChosenPages()
    {
        Job job(QString(), QString(), 0);
        const std::vector<PageChoice> choices{{3, 0}, {1, 270}, {1, 270}, {0, 90}, {0, 180}};
        const QStringList first = PDFPages::organize(path("report.pdf"), choices, job, quiet);
        QCOMPARE(first, QStringList{path("report Organized.pdf")});
        QCOMPARE(PagesFixture::read(first[0]),
                 (QStringList{"Page4@0", "Page2@0", "Page2@0", "Page1@90", "Page1@180"}));
        QCOMPARE(PagesFixture::info(first[0], "Title"), QString("Quarterly"));
        QCOMPARE(PagesFixture::info(first[0], "Author"), QString("Ann Lee"));
        const QStringList second = PDFPages::organize(path("report.pdf"), {{2, 90}}, job, quiet);
        QCOMPARE(second, QStringList{path("report Organized 2.pdf")});
        QCOMPARE(PagesFixture::read(second[0]), QStringList{"Page3@90"});
        QCOMPARE(PagesFixture::read(path("report.pdf")).size(), 4); // the source is untouched
        QFile::remove(first[0]);
        QFile::remove(second[0]);
    }

    // Files other writers made: Qt's PDF writer, and a page tree whose rotation its pages inherit.
    void otherWritersFiles()
    {
        {
            QPdfWriter writer(path("qt.pdf"));
            QPainter painter(&writer);
            for (int i = 0; i < 3; ++i) {
                if (i > 0) writer.newPage();
                painter.fillRect(QRect(100 * i, 100, 500, 500), Qt::blue);
            }
        }
        QFile file(path("inherited.pdf"));
        QByteArray bytes =
            MiniPdf::bytes({{QRectF(0, 0, 300, 400), 0, MiniPdf::text("F1", 24, 40, 200, "Turned")}});
        bytes.replace("/Rotate 0 ", "     ").replace("/Type /Pages ", "/Type /Pages /Rotate 90 ");
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        file.close();
        QCOMPARE(PagesFixture::read(path("inherited.pdf")), QStringList{"Turned@90"});

        Job job(QString(), QString(), 0);
        const QStringList qt = PDFPages::organize(path("qt.pdf"), {{2, 0}, {0, 90}}, job, quiet);
        QCOMPARE(PagesFixture::read(qt[0]), (QStringList{"@0", "@90"}));
        const QStringList turned = PDFPages::organize(path("inherited.pdf"), {{0, 90}}, job, quiet);
        QCOMPARE(PagesFixture::read(turned[0]), QStringList{"Turned@180"});
        const QStringList merged = PDFPages::merge({path("inherited.pdf"), path("qt.pdf")}, job, quiet);
        QCOMPARE(PagesFixture::read(merged[0]), (QStringList{"Turned@90", "@0", "@0", "@0"}));
        for (const QString& made : qt + turned + merged + QStringList{path("qt.pdf"), path("inherited.pdf")})
            QFile::remove(made);
    }

    // Copies of one page turned apart keep apart, whether the page has a rotation of its own, has
    // none, or takes one from its page tree; read back by Poppler and by pdfinfo.
    void duplicatesTurnApart()
    {
        QVERIFY(PagesFixture::write(path("plain.txt"), 2));
        QFile plain(path("plain.txt"));
        QVERIFY(plain.open(QIODevice::ReadWrite));
        const QByteArray bytes = plain.readAll().replace("/Rotate 0 ", "");
        plain.resize(0);
        QVERIFY(plain.write(bytes) == bytes.size());
        plain.close();
        // Rewritten by qpdf, which also mends the offsets the edit moved.
        Shell::run("/usr/bin/qpdf", {path("plain.txt"), path("plain.pdf")});
        QFile::remove(path("plain.txt"));
        QFile rewritten(path("plain.pdf"));
        QVERIFY(rewritten.open(QIODevice::ReadOnly) && !rewritten.readAll().contains("/Rotate"));
        QCOMPARE(PagesFixture::read(path("plain.pdf")), (QStringList{"Page1@0", "Page2@0"}));
        QByteArray inherited =
            MiniPdf::bytes({{QRectF(0, 0, 300, 400), 0, MiniPdf::text("F1", 24, 40, 200, "Tree")}});
        inherited.replace("/Rotate 0 ", "     ").replace("/Type /Pages ", "/Type /Pages /Rotate 90 ");
        QFile tree(path("tree.pdf"));
        QVERIFY(tree.open(QIODevice::WriteOnly) && tree.write(inherited) == inherited.size());
        tree.close();

        struct Case
        {
            QString file;
            std::vector<PageChoice> choices;
            QStringList pages;
        };
        const QList<Case> cases{
            {"plain.pdf",
             {{1, 90}, {1, 0}, {1, 270}, {0, 0}},
             {"Page2@90", "Page2@0", "Page2@270", "Page1@0"}},
            {"plain.pdf", {{1, 0}, {1, 180}, {1, 0}}, {"Page2@0", "Page2@180", "Page2@0"}},
            {"tree.pdf", {{0, 90}, {0, 0}, {0, 270}}, {"Tree@180", "Tree@90", "Tree@0"}},
            {"report.pdf",
             {{1, 90}, {1, 0}, {0, 90}, {0, 0}},
             {"Page2@180", "Page2@90", "Page1@90", "Page1@0"}},
        };
        Job job(QString(), QString(), 0);
        for (const Case& c : cases) {
            const QStringList made = PDFPages::organize(path(c.file), c.choices, job, quiet);
            QCOMPARE(PagesFixture::read(made[0]), c.pages);
            QProcess pdfinfo;
            pdfinfo.start("pdfinfo", {"-f", "1", "-l", "99", made[0]});
            QVERIFY(pdfinfo.waitForFinished(30000));
            QStringList turns;
            static const QRegularExpression rot("^Page +\\d+ rot: +(\\d+)$",
                                                QRegularExpression::MultilineOption);
            for (auto m = rot.globalMatch(QString::fromUtf8(pdfinfo.readAllStandardOutput())); m.hasNext();)
                turns << m.next().captured(1);
            QStringList expected;
            for (const QString& page : c.pages)
                expected << page.section('@', 1);
            QCOMPARE(turns, expected);
            QFile::remove(made[0]);
        }
        QFile::remove(path("plain.pdf"));
        QFile::remove(path("tree.pdf"));
    }

    // Every page of every file, in the order given, each keeping its own rotation; named after
    // the first file of that order.
    void mergeJoinsFilesInOrder()
    {
        Job job(QString(), QString(), 0);
        const QStringList merged = PDFPages::merge({path("b.pdf"), path("a.pdf"), path("b.pdf")}, job, quiet);
        QCOMPARE(merged, QStringList{path("b Merged.pdf")});
        QCOMPARE(PagesFixture::read(merged[0]), (QStringList{"B1@180", "A1@0", "A2@0", "B1@180"}));
        QCOMPARE(PDFPages::merge({path("b.pdf")}, job, quiet), QStringList{path("b Merged 2.pdf")});
        QFile::remove(path("b Merged.pdf"));
        QFile::remove(path("b Merged 2.pdf"));
    }

    // Files and pages that can't be had fail the whole job, with the cause, and leave nothing;
    // so does a cancelled job.
    void failuresLeaveNothing()
    {
        const QStringList before = files();
        Job job(QString(), QString(), 0);
        const auto organize = [&](const QString& name, std::vector<PageChoice> pages) {
            return failure([&] { PDFPages::organize(path(name), pages, job, quiet); });
        };
        const auto merge = [&](const QStringList& names) {
            QStringList paths;
            for (const QString& name : names)
                paths << path(name);
            return failure([&] { PDFPages::merge(paths, job, quiet); });
        };
        const QList<std::pair<std::optional<ConvertError>, QString>> cases{
            {organize("locked.pdf", {{0, 0}}), "locked.pdf is password-protected"},
            {merge({"a.pdf", "locked.pdf"}), "locked.pdf is password-protected"},
            {organize("missing.pdf", {{0, 0}}), "missing.pdf is no longer there"},
            {merge({"a.pdf", "missing.pdf"}), "missing.pdf is no longer there"},
            {organize("report.pdf", {{0, 0}, {4, 0}}), "report.pdf has no page 5"},
            {organize("report.pdf", {}), "There are no pages to write"},
            {merge({"empty.pdf"}), "There are no pages to write"},
        };
        for (const auto& [e, message] : cases) {
            QVERIFY2(e, qPrintable(message));
            QCOMPARE(e->message(), message);
        }
        job.cancel();
        QVERIFY(organize("report.pdf", {{0, 0}})->isCancelled());
        QVERIFY(merge({"a.pdf", "b.pdf"})->isCancelled());
        QCOMPARE(files(), before);
    }

    // A page whose form field can't be carried over is copied all the same, and the note names
    // what was left out of it.
    void aFieldThatCantBeCopiedIsNamed()
    {
        const QString note = "The links, comments and form fields of page 2 of form.pdf couldn’t be read and "
                             "were left out";
        Job organizing(QString(), QString(), 0);
        const QStringList organized =
            PDFPages::organize(path("form.pdf"), {{0, 0}, {1, 0}}, organizing, quiet);
        QCOMPARE(PDFPages::count(organized.value(0)), 2);
        QCOMPARE(organizing.notes(), QStringList{note});
        Job merging(QString(), QString(), 0);
        const QStringList merged = PDFPages::merge({path("a.pdf"), path("form.pdf")}, merging, quiet);
        QCOMPARE(PDFPages::count(merged.value(0)), 4);
        QCOMPARE(merging.notes(), QStringList{note});
        QFile::remove(organized.value(0));
        QFile::remove(merged.value(0));
    }

    // Pictures of every page in order, fitted to the box; the caller can stop them.
    void thumbnailsFitAndStop()
    {
        QList<int> seen;
        PDFPages::thumbnails(path("report.pdf"), QSize(110, 140), [&](int page, const QImage& picture) {
            seen << page;
            const bool fits = picture.width() <= 110 && picture.height() <= 140;
            const bool wide = picture.width() > picture.height(); // page 2 is turned
            return fits && (picture.width() == 110 || picture.height() == 140) && wide == (page == 1);
        });
        QCOMPARE(seen, (QList<int>{0, 1, 2, 3}));
        seen.clear();
        PDFPages::thumbnails(path("report.pdf"), QSize(110, 140), [&](int page, const QImage&) {
            seen << page;
            return page < 1;
        });
        QCOMPARE(seen, (QList<int>{0, 1}));
        PDFPages::thumbnails(path("locked.pdf"), QSize(110, 140), [&](int page, const QImage&) {
            seen << page;
            return true;
        });
        QCOMPARE(seen.size(), 2);
        QCOMPARE(PDFPages::count(path("report.pdf")), 4);
    }
};

QTEST_MAIN(PdfPagesTest)
#include "test_pdfpages.moc"
