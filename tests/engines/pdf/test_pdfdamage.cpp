#include "engines/compress/heavy/pdfcompressor.h"
#include "engines/heavy/pdfconvert.h"
#include "engines/pdftext/pdftextmodule.h"

#include "core/converterror.h"
#include "core/job.h"
#include "core/settings.h"

#include "../../support/enginefixtures_a.h"
#include "../../support/minipdf.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Pages of a line of text and a filled square each, their streams compressed by qpdf.
bool writeCompressed(const QString& path, int count = 3)
{
    QList<MiniPdf::Page> pages;
    for (int n = 1; n <= count; ++n)
        pages.append(
            {QRectF(0, 0, 612, 792), 0,
             MiniPdf::text("F1", 24, 72, 700, "Page number " + QByteArray::number(n) + " says hello") +
                 "0 0 1 rg 72 300 200 200 re f"});
    const QString plain = path + ".plain";
    if (!MiniPdf::write(plain, pages)) return false;
    const int status =
        QProcess::execute("qpdf", {"--compress-streams=y", "--object-streams=disable", plain, path});
    return QFile::remove(plain) && status == 0;
}

// Overwrites the first bytes of the content streams of `pages` (from 1), so that they no
// longer inflate.
bool spoil(const QString& path, const QList<int>& pages)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite)) return false;
    QByteArray bytes = file.readAll();
    // qpdf writes the page objects in page order.
    const QRegularExpression contents("/Contents (\\d+) 0 R");
    QList<QByteArray> streams;
    for (auto it = contents.globalMatch(QString::fromLatin1(bytes)); it.hasNext();)
        streams.append(it.next().captured(1).toLatin1());
    for (int page : pages) {
        const qsizetype object = bytes.indexOf("\n" + streams.value(page - 1) + " 0 obj");
        const qsizetype data = bytes.indexOf("stream\n", object);
        if (object < 0 || data < 0) return false;
        bytes[data + 7] = '\0';
        bytes[data + 8] = '\0';
    }
    return file.seek(0) && file.write(bytes) == bytes.size();
}

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

} // namespace

// PDFs damaged inside: what can be read comes out, the damage is said, and nothing comes out
// of a file none of whose pages can be read.
class PdfDamageTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

    // txt goes through the light module first, as the command line's conversion does.
    QStringList convert(const QString& source, const QString& target, Job& job)
    {
        if (target == "txt")
            return Modules::entries<PDFTextModule>().convertToText(source, job, [](double) {});
        return PDFEngine::convert(source, target, job, [](double) {});
    }

  private slots:
    void init()
    {
        QDir(m_dir.path()).removeRecursively();
        QDir().mkpath(m_dir.path());
        Settings::shared().setPdfDPI(36);
    }

    void spoiledPage_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("note");
        const QString text = "Page 2 of report.pdf is damaged: no text could be read from it";
        const QString picture = "Page 2 of report.pdf is damaged: it came out blank";
        QTest::newRow("txt") << "txt" << text;
        QTest::newRow("md") << "md" << text;
        QTest::newRow("xlsx") << "xlsx" << text;
        QTest::newRow("png") << "png" << picture;
        QTest::newRow("jpg") << "jpg" << picture;
        QTest::newRow("pptx") << "pptx" << picture;
    }

    void spoiledPage()
    {
        QFETCH(QString, target);
        QFETCH(QString, note);
        QVERIFY(writeCompressed(path("report.pdf")));
        QVERIFY(spoil(path("report.pdf"), {2}));
        Job job({}, {}, 0);
        const QStringList results = convert(path("report.pdf"), target, job);
        QCOMPARE(results.size(), 1);
        QCOMPARE(job.notes(), QStringList{note});
        if (target == "txt") {
            const QString text = Fixture::read(results[0]);
            QVERIFY2(text.contains("Page number 1") && text.contains("Page number 3"), qPrintable(text));
        }
        if (target == "png") QCOMPARE(entries(results[0]).size(), 3);
    }

    void nothingReadable()
    {
        QVERIFY(writeCompressed(path("report.pdf")));
        QVERIFY(spoil(path("report.pdf"), {1, 2, 3}));
        QVERIFY(writeCompressed(path("single.pdf"), 1));
        QVERIFY(spoil(path("single.pdf"), {1}));
        const QStringList targets{"txt", "md", "docx", "epub", "xlsx", "png", "jpg", "pptx"};
        for (const QString source : {"report.pdf", "single.pdf"})
            for (const QString& target : targets) {
                Job job({}, {}, 0);
                try {
                    convert(path(source), target, job);
                    QFAIL(qPrintable(source + " → " + target + " was written"));
                } catch (const ConvertError& error) {
                    QCOMPARE(error.message(), source + " is damaged: none of its pages could be read");
                }
                QCOMPARE(entries(m_dir.path()), (QStringList{"report.pdf", "single.pdf"}));
            }
    }

    // The smallest compression draws every page: a spoiled one is said, and a document none of
    // whose pages can be read is refused.
    void compressedToPictures()
    {
        QVERIFY(writeCompressed(path("report.pdf")));
        QVERIFY(spoil(path("report.pdf"), {2}));
        Job job({}, {}, 0);
        Compressor::pdf(path("report.pdf"), CompressLevel::small, path("small.pdf"), job, [](double) {});
        QCOMPARE(job.notes(), QStringList{"Page 2 of report.pdf is damaged: it came out blank"});
        QVERIFY(QFileInfo(path("small.pdf")).size() > 0);

        QVERIFY(writeCompressed(path("gone.pdf"), 2));
        QVERIFY(spoil(path("gone.pdf"), {1, 2}));
        Job none({}, {}, 0);
        try {
            Compressor::pdf(path("gone.pdf"), CompressLevel::small, path("gone small.pdf"), none,
                            [](double) {});
            QFAIL("a PDF of spoiled pages was compressed");
        } catch (const ConvertError& error) {
            QCOMPARE(error.message(), QString("gone.pdf is damaged: none of its pages could be read"));
        }
    }

    // A PDF LibreOffice wrote reads without a complaint.
    void soundFile()
    {
        QFile text(path("letter.txt"));
        QVERIFY(text.open(QIODevice::WriteOnly) && text.write("A sound letter\fwith a second page\n") > 0);
        text.close();
        const int status = Fixture::soffice(path("letter.txt"), "pdf", m_dir.path());
        if (status == -1) QSKIP("LibreOffice is not installed");
        QCOMPARE(status, 0);
        for (const QString target : {"txt", "png", "md"}) {
            Job job({}, {}, 0);
            QCOMPARE(convert(path("letter.pdf"), target, job).size(), 1);
            QCOMPARE(job.notes(), QStringList());
        }
    }
};

QTEST_MAIN(PdfDamageTest)
#include "test_pdfdamage.moc"
