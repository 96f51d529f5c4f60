#include "engines/package/epub.h"

#include "core/converterror.h"
#include "core/shell.h"
#include "core/zip.h"

#include <QRegularExpression>
#include <QtTest>

constexpr auto everything = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;

using Parts = QMap<QString, QByteArray>;

static QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

static QByteArray container(const QByteArray& packagePath)
{
    return "<?xml version=\"1.0\"?><container><rootfiles><rootfile full-path=\"" + packagePath +
           "\"/></rootfiles></container>";
}

// A package document with `items` ("id href" each) in the manifest and `spine` (ids) in order.
static QByteArray packageDocument(const QStringList& items, const QStringList& spine)
{
    QByteArray opf = "<package><manifest>\n";
    for (const QString& item : items)
        opf += "<item id=\"" + item.section(' ', 0, 0).toUtf8() + "\" href=\"" +
               item.section(' ', 1).toUtf8() + "\" media-type=\"application/xhtml+xml\"/>\n";
    opf += "</manifest><spine>";
    for (const QString& id : spine)
        opf += "<itemref idref=\"" + id.toUtf8() + "\"/>";
    return opf + "</spine></package>";
}

static QByteArray page(const QByteArray& body)
{
    return "<html><head><title>t</title></head>\n<BODY class=\"x\">" + body + "</body></html>";
}

Q_DECLARE_METATYPE(Parts)

class EpubTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_root;
    const QString m_tmp = m_root.filePath("tmp");     // what the code under test sees; empty after each test
    const QString m_books = m_root.filePath("books"); // the tests' own books
    const QString m_secret = m_root.filePath("secret.txt");

    QString book(const Parts& parts, const QString& name = "book.epub")
    {
        const QString path = m_books + "/" + name;
        Zip::write(parts, path, QString("application/epub+zip"));
        return path;
    }

    // The parts of a written book, read back by path.
    Parts unpacked(const QString& path)
    {
        Parts parts;
        const ScratchFolder folder = Zip::extract(path);
        for (const QString& name :
             {"mimetype", "META-INF/container.xml", "OEBPS/nav.xhtml", "OEBPS/content.opf",
              "OEBPS/chapter001.xhtml", "OEBPS/chapter002.xhtml", "OEBPS/chapter003.xhtml"})
            if (QFile::exists(folder.file(name))) parts.insert(name, readAll(folder.file(name)));
        return parts;
    }

    static QList<EPUB::Chapter> threeChapters()
    {
        return {
            {"One & only", "<h1>One</h1><p>first</p>"},
            {"Two <b>", "<h1>Two</h1><p>second<br>line&nbsp;&eacute;</p><table><tr><td>1</td></tr></table>"},
            {"Three", "<h1>Three</h1><p>third <img src=\"pic.png\" alt=\"\"></p>"}};
    }

  private slots:
    void initTestCase()
    {
        QVERIFY(QDir().mkpath(m_tmp) && QDir().mkpath(m_books));
        qputenv("TMPDIR", QFile::encodeName(m_tmp));
        QFile secret(m_secret);
        QVERIFY(secret.open(QIODevice::WriteOnly) && secret.write("SECRET") == 6);
    }

    void cleanup() { QCOMPARE(QDir(m_tmp).entryList(everything), QStringList()); }

    void writerLayout()
    {
        const QString path = m_books + "/three.epub";
        EPUB::write("A & <B>", threeChapters(), path);
        const QByteArray zip = readAll(path);
        QCOMPARE(zip.mid(8, 2), QByteArray("\0\0", 2)); // the first entry stored, without extra field
        QCOMPARE(zip.mid(26, 4) + zip.mid(30, 8), QByteArray("\x08\0\0\0mimetype", 12));
        QStringList entries =
            Shell::run("/usr/bin/unzip", {"-Z1", path, "-x", "*/"}).out().split('\n', Qt::SkipEmptyParts);
        QCOMPARE(entries.takeFirst(), "mimetype");
        entries.sort();
        QCOMPARE(entries,
                 QStringList({"META-INF/container.xml", "OEBPS/chapter001.xhtml", "OEBPS/chapter002.xhtml",
                              "OEBPS/chapter003.xhtml", "OEBPS/content.opf", "OEBPS/nav.xhtml"}));

        Parts parts = unpacked(path);
        QCOMPARE(parts["META-INF/container.xml"].size(), 243);
        const QByteArray opf = parts["OEBPS/content.opf"];
        QVERIFY(opf.contains("<dc:title>A &amp; &lt;B&gt;</dc:title>"));
        QVERIFY(QRegularExpression(
                    "<dc:identifier id=\"bookid\">urn:uuid:[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}<")
                    .match(QString(opf))
                    .hasMatch());
        QVERIFY(QRegularExpression("dcterms:modified\">\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ<")
                    .match(QString(opf))
                    .hasMatch());
        QVERIFY(opf.contains("properties=\"nav\"/>\n    <item id=\"c1\" href=\"chapter001.xhtml\" "
                             "media-type=\"application/xhtml+xml\"/>\n<item id=\"c2\""));
        QVERIFY(opf.contains(
            "<spine><itemref idref=\"c1\"/>\n<itemref idref=\"c2\"/>\n<itemref idref=\"c3\"/>\n</spine>"));
        QVERIFY(parts["OEBPS/nav.xhtml"].contains(
            "<title>A &amp; &lt;B&gt;</title></head>\n<body><nav epub:type=\"toc\"><h1>Contents</h1><ol>"
            "<li><a href=\"chapter001.xhtml\">One &amp; only</a></li>\n<li><a href=\"chapter002.xhtml\">Two "
            "&lt;b&gt;"
            "</a></li>\n<li><a href=\"chapter003.xhtml\">Three</a></li>\n</ol></nav></body></html>"));
        QVERIFY(parts["OEBPS/chapter002.xhtml"].contains("<title>Two &lt;b&gt;</title>"));

        // A second book from the same input differs in its identifier and time only.
        EPUB::write("A & <B>", threeChapters(), m_books + "/again.epub");
        Parts again = unpacked(m_books + "/again.epub");
        const auto stable = [](QByteArray opf) {
            return QString(opf).replace(QRegularExpression("urn:uuid:[^<]+|\\d{4}-[^<]+Z"), "*");
        };
        QVERIFY(again["OEBPS/content.opf"] != opf);
        QCOMPARE(stable(again.take("OEBPS/content.opf")), stable(opf));
        parts.remove("OEBPS/content.opf");
        QCOMPARE(again, parts);
    }

    void xhtml_data()
    {
        QTest::addColumn<QString>("html");
        QTest::addColumn<QString>("xhtml");
        QTest::newRow("entities") << "a&nbsp;b & &amp; &#169; &#xA9; &eacute; &Eacute; &bogus; &lt;"
                                  << "a&#160;b &amp; &amp; &#169; &#xA9; &#233; &#201; &amp;bogus; &lt;";
        QTest::newRow("void elements") << "<br><br/><hr class=\"x\" /><img src=\"a.png\" alt=\"x\">"
                                       << "<br /><br /><hr class=\"x\" /><img src=\"a.png\" alt=\"x\" />";
        QTest::newRow("look-alike tags") << "<brand>x</brand><metadata a=\"1\"></metadata><linkx>"
                                         << "<brand>x</brand><metadata a=\"1\"></metadata><linkx>";
    }

    void xhtml()
    {
        QFETCH(QString, html);
        QFETCH(QString, xhtml);
        QCOMPARE(EPUB::xhtml(html), xhtml);
    }

    void roundTrip()
    {
        const QString path = m_books + "/three.epub";
        EPUB::write("Book", threeChapters(), path);
        QCOMPARE(EPUB::readHTML(path),
                 "<h1>One</h1><p>first</p>\n"
                 "<h1>Two</h1><p>second<br />line&#160;&#233;</p><table><tr><td>1</td></tr>"
                 "</table>\n"
                 "<h1>Three</h1><p>third </p>\n");
    }

    // The spine decides the order, the navigation document included; hrefs are percent-decoded
    // and may climb within the book; unknown ids and missing files are skipped.
    void readerOrder()
    {
        const Parts parts{
            {"META-INF/container.xml", container("OPS/pkg/book.opf")},
            {"OPS/pkg/book.opf", packageDocument({"c2 ../text/two.xhtml", "c1 ../text/chapter%20one.xhtml",
                                                  "nav ../nav.xhtml", "gone ../text/missing.xhtml"},
                                                 {"nav", "c1", "unknown", "gone", "c2"})},
            {"OPS/text/chapter one.xhtml", page("one")},
            {"OPS/text/two.xhtml", "no body at all"},
            {"OPS/nav.xhtml", page("<nav>toc</nav>")},
        };
        QCOMPARE(EPUB::readHTML(book(parts)), "<nav>toc</nav>\none\nno body at all\n");
    }

    void missingPackage()
    {
        try {
            EPUB::readHTML(book({{"META-INF/container.xml", "<container><rootfiles/></container>"}}));
            QFAIL("read a book without a package file");
        } catch (const ConvertError& e) {
            QCOMPARE(e.message(), "This EPUB has no package file");
        }
    }

    // Whatever a book names, nothing outside the unpacked book is read: the book is refused.
    void hostileBooks_data()
    {
        QTest::addColumn<Parts>("parts");
        QTest::addColumn<QString>("reason");
        const QByteArray climb = "../../../../../../../../../../.." + QFile::encodeName(m_secret);
        const QByteArray opf = "OEBPS/content.opf";
        const auto spineOf = [&](const QString& href) {
            return Parts{{"META-INF/container.xml", container(opf)},
                         {opf, packageDocument({"c1 " + href}, {"c1"})}};
        };
        const QString refused = "book.epub refers to “%1” outside the book, so it wasn’t read";
        QTest::newRow("climbing href") << spineOf(climb) << refused.arg(QString(climb));
        QTest::newRow("encoded climb")
            << spineOf(QString(climb).replace("/", "%2F")) << refused.arg(QString(climb));
        QTest::newRow("absolute href") << spineOf(m_secret) << refused.arg(m_secret);
        QTest::newRow("file address") << spineOf("file://" + m_secret) << refused.arg("file://" + m_secret);
        QTest::newRow("climbing package")
            << Parts{{"META-INF/container.xml", container(climb)}} << refused.arg(QString(climb));
    }

    void hostileBooks()
    {
        QFETCH(Parts, parts);
        QFETCH(QString, reason);
        try {
            const QString html = EPUB::readHTML(book(parts));
            QVERIFY2(!html.contains("SECRET"), "a file outside the book was read");
            QFAIL("a hostile book was read");
        } catch (const ConvertError& e) {
            QCOMPARE(e.message(), reason);
        }
    }

    void passesEpubcheck()
    {
        // Debian's epubcheck is a jar that only the kernel's binary-format hook makes executable.
        const QString jar = "/usr/share/java/epubcheck.jar";
        const auto java = Shell::find("java");
        if (!java || !QFile::exists(jar)) QSKIP("epubcheck is not installed");
        const QString path = m_books + "/checked.epub";
        // The book holds no image files, so its chapters show none.
        EPUB::write("A & <B>",
                    threeChapters().mid(0, 2) << EPUB::Chapter{"Three", "<ul><li>x &mdash; y</li></ul>"},
                    path);
        const Shell::Result result =
            Shell::run(*java, {"-jar", jar, path}, std::nullopt, nullptr, {}, std::chrono::minutes(3));
        QVERIFY2(result.status == 0, qPrintable(result.out() + result.stderrText));
    }
};

QTEST_GUILESS_MAIN(EpubTest)
#include "test_epub.moc"
