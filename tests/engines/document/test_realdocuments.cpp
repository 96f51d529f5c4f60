#include "core/scratchfolder.h"
#include "core/shell.h"
#include "core/zip.h"
#include "engines/document/docxwriter.h"
#include "engines/document/htmlwriter.h"
#include "engines/document/markdownfrom.h"
#include "engines/document/pdfwriter.h"
#include "engines/document/plaintext.h"
#include "engines/document/reader.h"

#include "../../support/files.h"

#include <QBuffer>
#include <QDirIterator>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QtTest>
#include <poppler-qt6.h>

namespace {

const QString templates = "/usr/lib/libreoffice/share/template";

// Every template with this extension, in a stable order.
QStringList installed(const QString& extension)
{
    QStringList found;
    QDirIterator it(templates, {"*." + extension}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        found << it.next();
    found.sort();
    return found;
}

// The kinds of package real documents come in that a reader may stumble on.
enum class Kind { emptyPart, oldManifest, plain };

Kind kindOf(const QString& package)
{
    const ScratchFolder parts = Zip::extract(package);
    if (readAll(parts.file("META-INF/manifest.xml")).contains("<!DOCTYPE")) return Kind::oldManifest;
    QDirIterator it(parts.path(), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        if (QFileInfo(it.next()).size() == 0) return Kind::emptyPart;
    return Kind::plain;
}

// The first word of four letters or more in `text`; empty when there is none.
QString firstWord(const QString& text)
{
    return QRegularExpression("\\p{L}{4,}").match(text).captured(0);
}

// A contract as a word processor keeps it: outline headings, a tracked insertion of "$900 " and
// deletion of "$500 ", pictures floating beside a paragraph and anchored in a sentence, and a
// right-to-left paragraph.
QByteArray contract()
{
    QImage image(120, 80, QImage::Format_RGB32);
    image.fill(QColor(0x20, 0x40, 0xE0));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    const QByteArray change =
        "<office:change-info><dc:creator>X</dc:creator><dc:date>2024-01-01T10:00:00</dc:date>"
        "</office:change-info>";
    QByteArray fodt = R"(<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" xmlns:dc="http://purl.org/dc/elements/1.1/"
 xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0"
 xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0"
 xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0"
 xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0" office:version="1.3"
 office:mimetype="application/vnd.oasis.opendocument.text"><office:styles>
<style:style style:name="Heading_20_1" style:display-name="Heading 1" style:family="paragraph"
 style:default-outline-level="1"><style:text-properties fo:font-size="18pt" fo:font-weight="bold"/></style:style>
<style:style style:name="Heading_20_2" style:display-name="Heading 2" style:family="paragraph"
 style:default-outline-level="2"><style:text-properties fo:font-size="14pt" fo:font-weight="bold"/></style:style>
</office:styles><office:automatic-styles><style:style style:name="RTL" style:family="paragraph">
<style:paragraph-properties style:writing-mode="rl-tb" fo:text-align="end"/></style:style></office:automatic-styles>
<office:body><office:text><text:tracked-changes text:track-changes="true">
<text:changed-region text:id="c1"><text:insertion>CHANGE</text:insertion></text:changed-region>
<text:changed-region text:id="c2"><text:deletion>CHANGE<text:p>$500 </text:p></text:deletion></text:changed-region>
</text:tracked-changes><text:h text:style-name="Heading_20_1" text:outline-level="1">Payment terms</text:h>
<text:p>The buyer pays <text:change-start text:change-id="c1"/>$900 <text:change-end text:change-id="c1"/><text:change
 text:change-id="c2"/>on delivery.</text:p><text:h text:style-name="Heading_20_2" text:outline-level="2">Details</text:h>
<text:p>Invoice<draw:frame text:anchor-type="paragraph" PICTURE number follows.</text:p>
<text:p>The board<draw:frame text:anchor-type="char" PICTURE approved the plan.</text:p>
<text:p text:style-name="RTL">מחיר: 100 ש"ח בלבד.</text:p></office:text></office:body></office:document>)";
    return fodt.replace("CHANGE", change)
        .replace("PICTURE", R"(svg:x="10cm" svg:y="0cm" svg:width="3cm" svg:height="2cm"><draw:image>)"
                            "<office:binary-data>" +
                                png.toBase64() + "</office:binary-data></draw:image></draw:frame>");
}

QString pdfText(const QString& path)
{
    const std::unique_ptr<Poppler::Document> pdf = Poppler::Document::load(path);
    QString text;
    for (int i = 0; pdf && i < pdf->numPages(); ++i)
        text += pdf->page(i)->text(QRectF()) + "\n";
    return text;
}

} // namespace

// Documents other programs wrote convert: the text templates LibreOffice installs, one of each
// kind of package, copied as ODT, its spreadsheet and presentation templates, and the Word,
// Excel and PowerPoint files LibreOffice itself saves from them. bench/realdocuments.sh
// converts every installed template.
class RealDocumentsTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_soffice;

    QString folder(const QString& name) const
    {
        QDir().mkpath(m_dir.filePath(name));
        return m_dir.filePath(name);
    }

    // `sources` saved by LibreOffice with `filter` into `into`; the saved files.
    QStringList saved(const QStringList& sources, const QString& filter, const QString& into)
    {
        QProcess soffice;
        soffice.start(m_soffice, QStringList{"--headless", "--norestore", "--nologo", "--nolockcheck",
                                             "-env:UserInstallation=" +
                                                 QUrl::fromLocalFile(m_dir.filePath("profile")).toString(),
                                             "--convert-to", filter, "--outdir", into} +
                                     sources);
        soffice.waitForFinished(600000);
        const QStringList made = QDir(into).entryList(QDir::Files, QDir::Name);
        if (made.size() != sources.size()) qWarning() << soffice.readAllStandardError();
        QStringList paths;
        for (const QString& name : made)
            paths << QDir(into).filePath(name);
        return paths;
    }

    // Runs the converter on `files`; true when it reports every one converted.
    bool converted(const QStringList& files, const QString& target)
    {
        QProcess tolvane;
        tolvane.start(TOLVANE_BIN, QStringList{"--convert", target} + files);
        tolvane.waitForFinished(600000);
        const QByteArray out = tolvane.readAllStandardOutput() + tolvane.readAllStandardError();
        if (tolvane.exitStatus() != QProcess::NormalExit || tolvane.exitCode() != 0)
            qWarning().noquote() << out;
        return tolvane.exitStatus() == QProcess::NormalExit && tolvane.exitCode() == 0;
    }

    static QString result(const QString& source, const QString& target)
    {
        const QFileInfo info(source);
        return info.path() + "/" + info.completeBaseName() + "." + target;
    }

  private slots:
    void initTestCase()
    {
        const auto soffice = Shell::find("soffice");
        if (!soffice) QSKIP("LibreOffice is not installed");
        m_soffice = *soffice;
    }

    void everyKindConverts()
    {
        if (installed("ott").isEmpty()) QSKIP("LibreOffice installed no templates");
        QMap<Kind, QString> sample;
        for (const QString& path : installed("ott"))
            if (const Kind kind = kindOf(path); !sample.contains(kind)) sample.insert(kind, path);
        QStringList odt, ods;
        for (const QString& path : sample)
            QVERIFY(QFile::copy(path, folder("odt") + "/" + QFileInfo(path).completeBaseName() + ".odt"));
        for (const QString& name : QDir(folder("odt")).entryList(QDir::Files))
            odt << folder("odt") + "/" + name;
        const QString sheet = installed("ots").value(0);
        ods << folder("ods") + "/" + QFileInfo(sheet).completeBaseName() + ".ods";
        QVERIFY(QFile::copy(sheet, ods.first()));

        const QStringList docx = saved(odt, "docx:MS Word 2007 XML", folder("docx"));
        const QStringList plain = saved(odt, "txt:Text (encoded):UTF8", folder("plain"));
        const QStringList xlsx = saved({sheet}, "xlsx:Calc MS Excel 2007 XML", folder("xlsx"));
        const QStringList pptx =
            saved(installed("otp").mid(0, 2), "pptx:Impress MS PowerPoint 2007 XML", folder("pptx"));
        QCOMPARE(docx.size(), odt.size());
        QCOMPARE(plain.size(), odt.size());
        QCOMPARE(xlsx.size(), 1);
        QVERIFY(!pptx.isEmpty());

        QVERIFY(converted(odt + docx, "txt"));
        QVERIFY(converted(odt + docx + pptx + xlsx + ods, "pdf"));
        QVERIFY(converted(xlsx + ods, "csv"));
        for (const QString& source : odt + docx + pptx + xlsx + ods) {
            const std::unique_ptr<Poppler::Document> pdf = Poppler::Document::load(result(source, "pdf"));
            QVERIFY2(pdf && pdf->numPages() > 0, qPrintable(source));
        }
        for (const QString& source : xlsx + ods)
            QVERIFY2(QFile::exists(result(source, "csv")), qPrintable(source));
        // The text comes through: a word LibreOffice reads in each document is in ours.
        int words = 0;
        for (qsizetype i = 0; i < odt.size(); ++i) {
            const QString word = firstWord(QString::fromUtf8(readAll(plain[i])));
            if (word.isEmpty()) continue;
            ++words;
            for (const QString& text : {result(odt[i], "txt"), result(docx[i], "txt")})
                QVERIFY2(QString::fromUtf8(readAll(text)).contains(word), qPrintable(text + ": " + word));
        }
        QVERIFY(words > 0);
    }

    // A contract saved through LibreOffice's Word, RTF and OpenDocument filters reads as it
    // does once its changes are accepted, in every target: no deleted words, no word split by a
    // picture, headings as headings, and its right-to-left paragraph still right to left.
    void wordProcessorFilters_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::newRow("docx") << "docx:MS Word 2007 XML";
        QTest::newRow("doc") << "doc:MS Word 97";
        QTest::newRow("rtf") << "rtf:Rich Text Format";
        QTest::newRow("odt") << "odt:writer8";
    }
    void wordProcessorFilters()
    {
        QFETCH(QString, filter);
        const QString key = filter.section(':', 0, 0), out = folder("filters-" + key);
        const QStringList made = saved({writeFile(out + "/source/contract.fodt", contract())}, filter, out);
        QCOMPARE(made.size(), 1);
        auto document = Doc::read(made.first(), key, nullptr).text;

        const QString text = Doc::plainString(*document);
        for (const char* expected : {"Payment terms\n", "The buyer pays $900 on delivery.",
                                     "Invoice number follows.", "The board approved the plan.", "מחיר: 100"})
            QVERIFY2(text.contains(expected), qPrintable(expected + (" in:\n" + text)));
        QVERIFY2(!text.contains("$500") && !text.contains("\n \n"), qPrintable(text));

        const QString md = Markdown::from(*document);
        QVERIFY2(md.contains("# Payment terms\n") && md.contains("## Details\n") &&
                     md.contains("The buyer pays $900 on delivery."),
                 qPrintable(md));

        Doc::writeHTML(*document, "contract", out + "/contract.html");
        const QString html = QString::fromUtf8(readAll(out + "/contract.html"));
        QVERIFY2(
            QRegularExpression("<h1[^>]*>(<span[^>]*>)?Payment terms(</span>)?</h1>")
                    .match(html)
                    .hasMatch() &&
                QRegularExpression("<h2[^>]*>(<span[^>]*>)?Details(</span>)?</h2>").match(html).hasMatch() &&
                !html.contains("<li"),
            qPrintable(html));

        Doc::writeDOCX(*document, out + "/back.docx");
        const QString body =
            QString::fromUtf8(readAll(Zip::extract(out + "/back.docx").file("word/document.xml")));
        const QString rtl = QRegularExpression("<w:p>(?:(?!</w:p>).)*מחיר.*?</w:p>").match(body).captured(0);
        QVERIFY2(rtl.contains("<w:bidi/>") && !rtl.contains("<w:jc ") &&
                     rtl.contains("<w:rtl/></w:rPr><w:t xml:space=\"preserve\">מחיר"),
                 qPrintable(rtl));

        Doc::writePDF(*document, out + "/contract.pdf", std::nullopt);
        const QString pdf = pdfText(out + "/contract.pdf");
        for (const char* expected : {"Payment terms\n", "The buyer pays $900 on delivery.",
                                     "Invoice number follows.", "The board approved"})
            QVERIFY2(pdf.contains(expected), qPrintable(expected + (" in:\n" + pdf)));
        QVERIFY2(!pdf.contains("$500") && !pdf.contains("1."), qPrintable(pdf));
    }
};

QTEST_MAIN(RealDocumentsTest)
#include "test_realdocuments.moc"
