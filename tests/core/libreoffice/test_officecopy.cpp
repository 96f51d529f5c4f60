#include "core/archive/saferead.h"
#include "core/converterror.h"
#include "core/job.h"
#include "core/libreoffice/iwork.h"
#include "core/libreoffice/officecopy.h"
#include "core/scratchfolder.h"
#include "core/shell.h"
#include "core/zip.h"

#include "../../support/files.h"

#include <QDirIterator>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>
#include <atomic>
#include <optional>
#include <thread>

namespace {

const QByteArray outside = "file:///home/someone/canary.png";

const QByteArray drawing = "<?xml version=\"1.0\"?><svg xmlns=\"http://www.w3.org/2000/svg\" "
                           "xmlns:xlink=\"http://www.w3.org/1999/xlink\" width=\"10\" height=\"10\">"
                           "<rect id=\"kept\" width=\"10\" height=\"10\" fill=\"#2040E0\"/>"
                           "<image width=\"10\" height=\"10\" xlink:href=\"" +
                           outside + "\"/></svg>";

QByteArray gzipped(const QByteArray& bytes)
{
    QTemporaryDir dir;
    const QString path = writeFile(dir.filePath("part"), bytes);
    QProcess gzip;
    gzip.start("gzip", {"-n", "-c", path});
    gzip.waitForFinished();
    return gzip.readAllStandardOutput();
}

QByteArray content(const QByteArray& body)
{
    return "<?xml version=\"1.0\"?><office:document-content "
           "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
           "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
           "xmlns:draw=\"urn:oasis:names:tc:opendocument:xmlns:drawing:1.0\" "
           "xmlns:xlink=\"http://www.w3.org/1999/xlink\"><office:body><office:text>" +
           body + "</office:text></office:body></office:document-content>";
}

// A manifest as older suites wrote it: a document type, and a prefix it never declares.
const QByteArray oldManifest =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE manifest:manifest PUBLIC \"-//OpenOffice.org//DTD "
    "Manifest 1.0//EN\" \"Manifest.dtd\">\n<manifest:manifest><manifest:file-entry "
    "manifest:media-type=\"application/vnd.oasis.opendocument.text\" manifest:full-path=\"/\"/>"
    "</manifest:manifest>";

} // namespace

// The private copy an office suite is given: it keeps what real documents hold (empty parts,
// old manifests), makes what it can't read harmless, and confines every drawing however it is
// named, compressed or written into a part.
class OfficeCopyTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    QString document(const QMap<QString, QByteArray>& parts, const QString& name = "doc.odt")
    {
        const QString source = m_dir.filePath("in/" + name);
        QDir().mkpath(m_dir.filePath("in"));
        QFile::remove(source);
        Zip::write(parts, source,
                   name.endsWith(".odt") ? std::optional<QString>("application/vnd.oasis.opendocument.text")
                                         : std::nullopt);
        return source;
    }

    QMap<QString, QByteArray> copied(const QMap<QString, QByteArray>& parts, const QString& name = "doc.odt")
    {
        const QString source = document(parts, name);
        const ScratchFolder folder;
        const ScratchFolder unpacked = Zip::extract(OfficeCopy::make(source, folder.path()));
        QMap<QString, QByteArray> out;
        QDirIterator it(unpacked.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            out.insert(path.mid(unpacked.path().size() + 1), readAll(path));
        }
        return out;
    }

  private slots:
    // Parts that aren't well-formed are emptied, not a reason to refuse the document; empty
    // parts and old manifests are kept as written.
    void realPartsAreKept()
    {
        const QByteArray body = content("<text:p>Words</text:p><draw:image xlink:href=\"" + outside + "\"/>");
        const QMap<QString, QByteArray> out =
            copied({{"content.xml", body},
                    {"Configurations2/accelerator/current.xml", {}},
                    {"META-INF/manifest.xml", oldManifest},
                    {"settings.xml", "<office:settings><unclosed></office:settings>"},
                    {"styles.xml", "<a xlink:href=\"" + outside + "\"><b></a>"}});
        QCOMPARE(out.value("Configurations2/accelerator/current.xml", "<missing>"), QByteArray());
        QCOMPARE(out.value("META-INF/manifest.xml"), oldManifest);
        QCOMPARE(out.value("settings.xml", "<missing>"), QByteArray());
        QCOMPARE(out.value("styles.xml", "<missing>"), QByteArray());
        QVERIFY(out.value("content.xml").contains("<text:p>Words</text:p>"));
        QVERIFY(!out.value("content.xml").contains(outside));
    }

    // Packages LibreOffice installed come out with every file part, the mimetype first, stored
    // and without extra fields where suites look for it, and pictures byte for byte.
    void realPackagesKeepTheirParts()
    {
        for (const char* kind : {"ott", "ots", "otp"}) {
            QDirIterator it("/usr/lib/libreoffice/share/template", {QString("*.") + kind}, QDir::Files,
                            QDirIterator::Subdirectories);
            if (!it.hasNext()) QSKIP("LibreOffice installed no templates");
            const QString source = it.next();
            const ScratchFolder folder;
            const QString copy = OfficeCopy::make(source, folder.path());
            const auto listed = [](const QString& zip) {
                return Shell::run("/usr/bin/unzip", {"-Z1", zip, "-x", "*/"})
                    .out()
                    .split('\n', Qt::SkipEmptyParts);
            };
            QStringList before = listed(source), after = listed(copy);
            QCOMPARE(after.value(0), "mimetype");
            std::sort(before.begin(), before.end());
            std::sort(after.begin(), after.end());
            QCOMPARE(after, before);

            const QByteArray head = readAll(copy).left(200),
                             mimetype = head.mid(38, head.indexOf("PK", 30) - 38);
            QVERIFY2(head.mid(8, 2) == QByteArray(2, '\0') && head.mid(28, 2) == QByteArray(2, '\0'), kind);
            QVERIFY2(mimetype.startsWith("application/vnd.oasis.opendocument."), mimetype.constData());
            const ScratchFolder original = Zip::extract(source), copied = Zip::extract(copy);
            for (const QString& name : after)
                if (name.startsWith("Pictures/") || name.startsWith("Thumbnails/"))
                    QVERIFY2(readAll(copied.file(name)) == readAll(original.file(name)), qPrintable(name));
        }
    }

    // Without its body there is no document: the plain message names the part.
    void unreadableBodyIsRefused_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("body");
        QTest::newRow("OpenDocument") << "doc.odt"
                                      << "content.xml";
        QTest::newRow("named by the package") << "doc.docx"
                                              << "word/main.xml";
    }

    void unreadableBodyIsRefused()
    {
        QFETCH(QString, name);
        QFETCH(QString, body);
        const QByteArray rels =
            "<Relationships "
            "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"><Relationship "
            "Id=\"r1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
            "officeDocument\" Target=\"/word/main.xml\"/></Relationships>";
        QMap<QString, QByteArray> parts{{body, "<w:document><w:body>"}, {"word/document.xml", "<a><b></a>"}};
        if (name.endsWith(".docx")) parts.insert("_rels/.rels", rels);
        std::optional<QString> error;
        try {
            copied(parts, name);
        } catch (const ConvertError& e) {
            error = e.message();
        }
        QCOMPARE(error.value_or("<no error>"),
                 QString("%1 is damaged: its part “%2” can’t be read").arg(name, body));
    }

    // A drawing keeps itself and loses its links, whatever it is called, compressed or not, as a
    // part or written into one; other pictures are kept byte for byte.
    void drawingsAreConfined()
    {
        const QByteArray photo = "\x89PNG\r\n\x1a\n<svg><image href=\"" + outside + "\"/></svg>";
        const QByteArray metafile = gzipped("\x01\x00\x00\x00 EMF metafile records");
        const QByteArray inlined = "<draw:frame><draw:image><office:binary-data>" + drawing.toBase64() +
                                   "</office:binary-data></draw:image></draw:frame>";
        const QMap<QString, QByteArray> out =
            copied({{"content.xml", content(inlined)},
                    {"Pictures/a.svg", drawing},
                    {"Pictures/b.png", drawing},
                    {"Pictures/c.svgz", gzipped(drawing)},
                    {"Pictures/d", "\n  " + drawing.mid(drawing.indexOf("<svg"))},
                    {"Pictures/e.svg", drawing + "<unclosed>"},
                    {"Pictures/f.png", photo},
                    {"Pictures/g.emz", metafile}});
        for (const char* name : {"Pictures/a.svg", "Pictures/b.png", "Pictures/c.svgz", "Pictures/d"}) {
            const QByteArray part = out.value(name);
            QVERIFY2(part.contains("id=\"kept\"") && !part.contains(outside), name);
        }
        QCOMPARE(out.value("Pictures/e.svg", "<missing>"), QByteArray());
        QCOMPARE(out.value("Pictures/f.png"), photo);
        QCOMPARE(out.value("Pictures/g.emz"), metafile);
        const QByteArray xml = out.value("content.xml");
        const qsizetype from = xml.indexOf("<office:binary-data>") + 20;
        const QByteArray inner =
            QByteArray::fromBase64(xml.mid(from, xml.indexOf("</office:binary-data>") - from));
        QVERIFY2(inner.contains("id=\"kept\"") && !inner.contains(outside), inner.constData());
    }

    // Parts of any size stream to the copy unchanged, however little may be held whole: one that
    // deflates, one that can't; the markup beside them is still cleaned.
    void bigPartsStreamToTheCopy()
    {
        QByteArray noise(3 << 20, Qt::Uninitialized);
        QRandomGenerator(7).fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);
        const QByteArray zeros(24 << 20, '\0');
        const QString source =
            document({{"content.xml", content("<draw:image xlink:href=\"" + outside + "\"/>")},
                      {"media/film.mp4", noise},
                      {"media/zeros.bin", zeros}});
        MemoryBudget budget(1 << 20);
        const ScratchFolder folder;
        QString copy;
        try {
            copy = OfficeCopy::make(source, folder.path(), nullptr, budget);
        } catch (const ConvertError& e) {
            QFAIL(qPrintable(e.message()));
        }
        QVERIFY(Shell::run("/usr/bin/unzip", {"-tq", copy}).out().startsWith("No errors detected"));
        QVERIFY(QFileInfo(copy).size() < noise.size() + (1 << 20));
        QVERIFY(Shell::run("/usr/bin/unzip", {"-p", copy, "media/film.mp4"}).stdoutBytes == noise);
        QVERIFY(Shell::run("/usr/bin/unzip", {"-p", copy, "media/zeros.bin"}).stdoutBytes == zeros);
        QVERIFY(!Shell::run("/usr/bin/unzip", {"-p", copy, "content.xml"}).stdoutBytes.contains(outside));
        QCOMPARE(budget.inUse(), 0);
    }

    // Copies made at once share one budget that holds one of their parts at a time: each waits
    // for the others rather than going past it or failing, and all of it is given back.
    void copiesShareTheBudget()
    {
        QByteArray filler;
        for (int i = 0; filler.size() < 120000; ++i)
            filler += "<text:p>Paragraph " + QByteArray::number(i) + "</text:p>";
        const QByteArray big(2 << 20, 'x');
        const QString source =
            document({{"content.xml", content(filler + "<draw:image xlink:href=\"" + outside + "\"/>")},
                      {"styles.xml", content(filler)},
                      {"Pictures/a.svg", drawing},
                      {"media/big.bin", big}});
        MemoryBudget budget(1 << 20);
        std::vector<QMap<QString, QByteArray>> results(8);
        std::vector<QString> errors(results.size());
        std::vector<std::thread> threads;
        for (size_t i = 0; i < results.size(); ++i)
            threads.emplace_back([&, i] {
                try {
                    const ScratchFolder folder;
                    results[i] = readSafely(OfficeCopy::make(source, folder.path(), nullptr, budget));
                } catch (const ConvertError& e) {
                    errors[i] = e.message();
                }
            });
        for (std::thread& thread : threads)
            thread.join();
        for (size_t i = 0; i < results.size(); ++i) {
            QCOMPARE(errors[i], QString());
            const QByteArray body = results[i].value("content.xml");
            QVERIFY(body.contains(filler) && !body.contains(outside));
            QVERIFY(results[i].value("Pictures/a.svg").contains("id=\"kept\""));
            QVERIFY(results[i].value("media/big.bin") == big);
        }
        QVERIFY(budget.peak() > 6 * filler.size() && budget.peak() <= budget.capacity());
        QCOMPARE(budget.inUse(), 0);
    }

    // A copy alone holds each markup part at six times its size (its bytes, their text, the
    // parser's copy, the result, its compressed form): the bound copies at once keep together.
    void aCopyCountsItsPartsSixTimes()
    {
        QByteArray filler;
        for (int i = 0; filler.size() < 100000; ++i)
            filler += "<text:p>Paragraph " + QByteArray::number(i) + "</text:p>";
        const QByteArray body = content(filler);
        const QString source = document({{"content.xml", body}, {"styles.xml", content("<s/>")}});
        MemoryBudget budget(1 << 20);
        const ScratchFolder folder;
        try {
            OfficeCopy::make(source, folder.path(), nullptr, budget);
        } catch (const ConvertError& e) {
            QFAIL(qPrintable(e.message()));
        }
        QVERIFY2(budget.peak() >= 6 * body.size(), qPrintable(QString::number(budget.peak())));
        QCOMPARE(budget.inUse(), 0);
    }

    // However a copy ends, failed or cancelled while it holds a part, its share is given back
    // and nothing of the copy is left.
    void budgetIsGivenBackWhenACopyFails()
    {
        const QByteArray rels =
            "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"/>";
        const QString damaged = document({{"content.xml", "<office:document-content>"}});
        const QString relationshipsFirst =
            document({{"_rels/.rels", rels}, {"word/document.xml", "<w:document/>"}}, "doc.docx");
        Job job("Converting to PDF", QString(), 0);
        job.cancel();
        for (const auto& [source, kind] : {std::pair{damaged, ConvertError::Kind::failed},
                                           std::pair{relationshipsFirst, ConvertError::Kind::cancelled}}) {
            MemoryBudget budget(1 << 20);
            const ScratchFolder folder;
            std::optional<ConvertError::Kind> error;
            try {
                OfficeCopy::make(source, folder.path(),
                                 kind == ConvertError::Kind::cancelled ? &job : nullptr, budget);
            } catch (const ConvertError& e) {
                error = e.kind();
            }
            QVERIFY2(error == kind, qPrintable(source));
            QVERIFY2(budget.peak() > 0 && budget.inUse() == 0, qPrintable(source));
            QCOMPARE(entries(folder.path()), QStringList());
        }
    }

    // A copy waiting for room in the budget ends when its job is cancelled, without taking any.
    void cancelEndsAWaitForTheBudget()
    {
        const QString source = document({{"content.xml", content("<text:p>Words</text:p>")}});
        MemoryBudget budget(1 << 20);
        std::optional<MemoryBudget::Share> everything = budget.tryTake(budget.capacity());
        QVERIFY(everything);
        Job job("Converting to PDF", QString(), 0);
        const ScratchFolder folder;
        std::optional<ConvertError::Kind> error;
        std::atomic<bool> finished = false;
        std::thread copy([&] {
            try {
                OfficeCopy::make(source, folder.path(), &job, budget);
            } catch (const ConvertError& e) {
                error = e.kind();
            }
            finished = true;
        });
        const auto joined = qScopeGuard([&] {
            everything.reset(); // a copy the cancel did not reach goes on, and the test fails
            copy.join();
        });
        QTest::qWait(200);
        QVERIFY(!finished); // still waiting for room
        job.cancel();
        QTRY_VERIFY_WITH_TIMEOUT(finished, 10000);
        QCOMPARE(error, std::optional(ConvertError::Kind::cancelled));
        QCOMPARE(budget.inUse(), budget.capacity());
        QCOMPARE(entries(folder.path()), QStringList());
    }

    // Bombs and parts too large to make harmless are refused in plain words.
    void hostileDocumentsAreRefused_data()
    {
        QTest::addColumn<QByteArray>("part");
        QTest::addColumn<quint32>("declared"); // what the headers claim of the part's size, 0 for the truth
        QTest::addColumn<QString>("message");
        const QByteArray zeros(2 << 20, '\0');
        QTest::newRow("past the bound")
            << QByteArray("media/x.bin") << quint32(0xfffffff0)
            << "Couldn’t unpack doc.odt: it unpacks to more than 1073741824 bytes";
        QTest::newRow("understated") << QByteArray("media/x.bin") << quint32(16)
                                     << "media/x.bin in doc.odt is damaged";
        QTest::newRow("markup too large")
            << QByteArray("settings.xml") << quint32(0)
            << "doc.odt is too large to open safely: its part “settings.xml” holds more than 175 KB";
    }

    void hostileDocumentsAreRefused()
    {
        QFETCH(QByteArray, part);
        QFETCH(quint32, declared);
        QFETCH(QString, message);
        const QString source =
            document({{"content.xml", content("<text:p>Words</text:p>")}, {part, QByteArray(2 << 20, '\0')}});
        if (declared) patchZipEntry(source, part, ZipField::size, declared);
        MemoryBudget budget(1 << 20);
        const ScratchFolder folder;
        std::optional<QString> error;
        try {
            OfficeCopy::make(source, folder.path(), nullptr, budget);
        } catch (const ConvertError& e) {
            error = e.message();
        }
        QCOMPARE(error.value_or("<no error>"), message);
        QCOMPARE(entries(folder.path()), QStringList());
    }

    // A DOCX LibreOffice saved, with a part added far larger than what is held whole, converts
    // to the same text as without it.
    void bigPartConvertsAsBefore()
    {
        if (!IWork::isInstalled(IWork::App::pages)) QSKIP("LibreOffice is not installed");
        const QString dir = m_dir.filePath("real");
        writeFile(dir + "/page.html",
                  "<html><body><h1>Note</h1><p>Seven plain words stand on this page.</p></body></html>");
        Shell::run(*Shell::find("soffice"),
                   {"--headless", "--norestore", "-env:UserInstallation=file://" + dir + "/profile",
                    "--convert-to", "docx:MS Word 2007 XML", "--outdir", dir, dir + "/page.html"});
        QVERIFY(QFile::copy(dir + "/page.docx", dir + "/big.docx"));
        writeFile(dir + "/extra/zeros.bin", QByteArray(24 << 20, '\0'));
        QCOMPARE(Shell::run("/usr/bin/zip", {"-q", "big.docx", "extra/zeros.bin"}, dir).status, 0);
        QStringList texts;
        for (const char* name : {"page", "big"}) {
            const QString pdf = dir + "/" + name + ".pdf";
            IWork::export_(IWork::App::pages, dir + "/" + name + ".docx", pdf, QString("PDF"), std::nullopt,
                           nullptr);
            texts.append(Shell::run("/usr/bin/pdftotext", {pdf, "-"}).out());
        }
        QVERIFY2(texts.first().contains("Seven plain words"), qPrintable(texts.first()));
        QCOMPARE(texts.last(), texts.first());
    }
};

QTEST_MAIN(OfficeCopyTest)
#include "test_officecopy.moc"
