#include "engines/document/docengine.h"
#include "engines/document/htmlwriter.h"
#include "engines/document/pdfwriter.h"
#include "engines/document/plaintext.h"
#include "engines/document/reader.h"

#include "core/converterror.h"

#include <QBuffer>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>
#include <poppler-qt6.h>

namespace {

// Every page's size in points and its text boxes.
struct PdfPages
{
    QList<QSizeF> sizes;
    QList<QList<QRectF>> boxes;
    QStringList texts;
    QString title, creator;
};

PdfPages readPdf(const QString& path)
{
    PdfPages pages;
    const std::unique_ptr<Poppler::Document> pdf = Poppler::Document::load(path);
    if (!pdf) return pages;
    pages.title = pdf->info("Title");
    pages.creator = pdf->info("Creator");
    for (int i = 0; i < pdf->numPages(); ++i) {
        const std::unique_ptr<Poppler::Page> page = pdf->page(i);
        pages.sizes << page->pageSizeF();
        pages.texts << page->text(QRectF());
        QList<QRectF> boxes;
        for (const auto& box : page->textList())
            boxes << box->boundingBox();
        pages.boxes << boxes;
    }
    return pages;
}

} // namespace

class DocWritersTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QLocale m_locale;
    QString path(const QString& name) const { return m_dir.filePath(name); }

  private slots:
    void initTestCase() { m_locale = QLocale(); }
    void cleanup() { QLocale::setDefault(m_locale); }

    void pageSizeFollowsRegion_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QSizeF>("size");
        QTest::newRow("en_GB") << QLocale(QLocale::English, QLocale::UnitedKingdom) << QSizeF(595, 842);
        QTest::newRow("de_DE") << QLocale(QLocale::German, QLocale::Germany) << QSizeF(595, 842);
        QTest::newRow("en_US") << QLocale(QLocale::English, QLocale::UnitedStates) << QSizeF(612, 792);
        QTest::newRow("fr_CA") << QLocale(QLocale::French, QLocale::Canada) << QSizeF(612, 792);
        QTest::newRow("C") << QLocale::c() << QSizeF(612, 792);
    }

    // The PDF's pages have the region's paper, also for an empty document (one page).
    void pageSizeFollowsRegion()
    {
        QFETCH(QLocale, locale);
        QFETCH(QSizeF, size);
        QLocale::setDefault(locale);
        QCOMPARE(Doc::pageSize(), size);
        QTextDocument empty;
        Doc::writePDF(empty, path("empty.pdf"), std::nullopt);
        const PdfPages pdf = readPdf(path("empty.pdf"));
        QCOMPARE(pdf.sizes, QList<QSizeF>{size});
        QCOMPARE(pdf.creator, QString("Tolvane"));
        QVERIFY(pdf.title.isEmpty());
    }

    // Every line lands on exactly one page, inside the margins, at the size it was given.
    void pagesKeepEveryLine()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QString text;
        for (int i = 1; i <= 150; ++i)
            text += QString("Line %1 of the text\n").arg(i);
        const auto document = Doc::plainAttributed(text);
        Doc::writePDF(*document, path("lines.pdf"), QString("Lines <1>"));
        const PdfPages pdf = readPdf(path("lines.pdf"));
        QVERIFY(pdf.sizes.size() > 2);
        QCOMPARE(pdf.title, QString("Lines <1>"));
        const QString all = pdf.texts.join('\n');
        for (int i = 1; i <= 150; ++i)
            QVERIFY2(all.count(QString("Line %1 of").arg(i)) == 1,
                     qPrintable(QString::number(i) +
                                pdf.texts.filter(QString("Line %1 of").arg(i)).join("\n----\n")));
        for (const QList<QRectF>& boxes : pdf.boxes)
            for (const QRectF& box : boxes) {
                QVERIFY2(
                    box.left() >= 63 && box.top() >= 63 && box.bottom() <= 792 - 63 &&
                        box.right() <= 612 - 63,
                    qPrintable(
                        QString("%1,%2 %3x%4").arg(box.x()).arg(box.y()).arg(box.width()).arg(box.height())));
                // 12 pt type: its boxes are as high as 12 pt text, not 9 or 16.
                QVERIFY2(box.height() > 10.5 && box.height() < 15, qPrintable(QString::number(box.height())));
            }
        QVERIFY(pdf.boxes.first().first().left() < 66);
    }

    // A document longer than the page limit is refused, not cut, and nothing is written.
    void tooLongFailsLoudly()
    {
        QString html;
        for (int i = 0; i <= Doc::maxPDFPages; ++i)
            html += "<p style=\"page-break-before:always\">x</p>";
        const auto document = Doc::attributed(html);
        try {
            Doc::writePDF(*document, path("long.pdf"), std::nullopt);
            QFAIL("no failure");
        } catch (const ConvertError& e) {
            QCOMPARE(e.description(),
                     QString("This document is too long to convert (more than 5,001 pages)"));
        }
        QVERIFY(!QFile::exists(path("long.pdf")));
    }

    // The title is ours and escaped, the document's own title (written unescaped by the
    // exporter) is gone, and pictures travel inside the page.
    void htmlTitleAndPictures()
    {
        QTextDocument document;
        document.setHtml(
            "<html><head><title>x<y & z</title></head><body><p>Hi <img src=\"pic\"></p></body></html>");
        QImage picture(8, 4, QImage::Format_RGB32);
        picture.fill(Qt::red);
        document.addResource(QTextDocument::ImageResource, QUrl("pic"), picture);
        Doc::writeHTML(document, "a<b & \"c\"", path("page.html"));
        QFile file(path("page.html"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString html = QString::fromUtf8(file.readAll());
        QCOMPARE(html.count("<title>"), 1);
        QVERIFY(html.contains("<head><title>a&lt;b &amp; &quot;c&quot;</title>"));
        const QString prefix = "src=\"data:image/png;base64,";
        const qsizetype at = html.indexOf(prefix);
        QVERIFY(at > 0);
        const QString data = html.mid(at + prefix.size()).section('"', 0, 0);
        const QImage embedded = QImage::fromData(QByteArray::fromBase64(data.toLatin1()));
        QCOMPARE(embedded.size(), QSize(8, 4));
        QCOMPARE(embedded.pixelColor(3, 2), QColor(Qt::red));
    }

    void plainTexts()
    {
        QCOMPARE(Doc::plainTextBody("a\nb\n\nc & d"), QString("<p>a<br/>b</p>\n<p>c &amp; d</p>"));
        QTextDocument document;
        document.setHtml(
            "<p>no&nbsp;break</p><table><tr><td>a</td><td>b</td></tr></table><p>x<img src=\"none\">y</p>");
        const QString plain = Doc::plainString(document);
        QVERIFY2(plain.startsWith(QString("no\u00a0break\n")), qPrintable(plain));
        QVERIFY(plain.contains("a\nb\n"));
        QVERIFY(plain.endsWith("xy"));
    }
};

QTEST_MAIN(DocWritersTest)
#include "test_docwriters.moc"
