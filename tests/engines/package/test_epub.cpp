#include "engines/package/epub.h"

#include "../../support/enginefixtures_b.h"
#include "core/scratchfolder.h"
#include "core/shell.h"
#include "core/zip.h"

#include <QRegularExpression>
#include <QtTest>

using Parts = QMap<QString, QByteArray>;
Q_DECLARE_METATYPE(Parts)

namespace {

QByteArray container(const QByteArray& packagePath)
{
    return "<?xml version=\"1.0\"?><container><rootfiles><rootfile full-path=\"" + packagePath +
           "\"/></rootfiles></container>";
}

// A package document with `items` ("id href" each) in the manifest and `spine` (ids) in order.
QByteArray packageDocument(const QStringList& items, const QStringList& spine)
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

QByteArray page(const QByteArray& body)
{
    return "<html><head><title>t</title></head>\n<BODY class=\"x\">" + body + "</body></html>";
}

} // namespace

class EpubTest : public QObject
{
    Q_OBJECT
    ScratchTmp m_tmp;
    const QString m_books = m_tmp.files;
    const QString m_secret = m_tmp.root.filePath("secret.txt");

    QString book(const Parts& parts)
    {
        Zip::write(parts, m_books + "/book.epub", QString("application/epub+zip"));
        return m_books + "/book.epub";
    }

  private slots:
    void initTestCase() { writeFile(m_secret, "SECRET"); }

    void cleanup() { QCOMPARE(m_tmp.leftovers(), QStringList()); }

    // A written book reads back chapter by chapter, lists every title in its table of contents,
    // gets an identifier of its own and passes epubcheck.
    void writtenBook()
    {
        const QList<EPUB::Chapter> chapters{
            {"One & only", "<h1>One</h1><p>first</p>"},
            {"Two <b>", "<p>second<br>line&nbsp;&eacute;</p><table><tr><td>1</td></tr></table>"},
            {"Three", "<ul><li>x &mdash; y</li></ul>"},
            {"Four", "<P CLASS=x>One<BR>two<p>3 < 4 & 5<UL><LI>a<LI>b</UL><b><i>x</b></i><o:p></o:p>"}};
        const QString path = m_books + "/three.epub", again = m_books + "/again.epub";
        EPUB::write("A & <B>", chapters, path);
        EPUB::write("A & <B>", chapters, again);
        QCOMPARE(EPUB::readHTML(path),
                 "<h1>One</h1><p>first</p>\n"
                 "<p>second<br />line&#160;&#233;</p><table><tr><td>1</td></tr></table>\n"
                 "<ul><li>x &#8212; y</li></ul>\n"
                 "<p class=\"x\">One<br />two</p><p>3 &lt; 4 &amp; 5</p><ul><li>a</li><li>b</li></ul>"
                 "<b><i>x</i></b>\n");
        const ScratchFolder one = Zip::extract(path), two = Zip::extract(again);
        QVERIFY(readAll(one.file("OEBPS/nav.xhtml"))
                    .contains("<li><a href=\"chapter001.xhtml\">One &amp; only</a></li>\n"
                              "<li><a href=\"chapter002.xhtml\">Two &lt;b&gt;</a></li>\n"
                              "<li><a href=\"chapter003.xhtml\">Three</a></li>\n"
                              "<li><a href=\"chapter004.xhtml\">Four</a></li>\n</ol>"));
        const QRegularExpression id("<dc:identifier id=\"bookid\">urn:uuid:[-0-9A-F]{36}<");
        const QString first = id.match(readAll(one.file("OEBPS/content.opf"))).captured();
        QVERIFY(!first.isEmpty() && first != id.match(readAll(two.file("OEBPS/content.opf"))).captured());

        // Debian's epubcheck is a jar that only the kernel's binary-format hook makes executable.
        const QString jar = "/usr/share/java/epubcheck.jar";
        const auto java = Shell::find("java");
        if (!java || !QFile::exists(jar)) QSKIP("epubcheck is not installed");
        const Shell::Result result =
            Shell::run(*java, {"-jar", jar, path}, std::nullopt, nullptr, {}, std::chrono::minutes(3));
        QVERIFY2(result.status == 0, qPrintable(result.out() + result.stderrText));
    }

    // Chapter HTML made well-formed XHTML, whatever it was: entities as numbers, bare "&" and "<"
    // escaped, void elements closed, elements closed where a browser closes them, tags that only
    // begin like void ones left alone, and what a chapter body can't hold left out.
    void xhtml_data()
    {
        QTest::addColumn<QString>("html");
        QTest::addColumn<QString>("xhtml");
        const char* const cases[][3] = {
            {"entities", "a&nbsp;b & &amp; &#169; &#xA9; &eacute; &Eacute; &bogus; &lt;",
             "a&#160;b &amp; &amp; &#169; &#xA9; &#233; &#201; &amp;bogus; &lt;"},
            {"references XML can't hold", "&#0;&#xD800;&#1114112;&#9;", "&#65533;&#65533;&#65533;&#9;"},
            {"void elements", "<br><BR/><hr class=\"x\" /><img src=\"a.png\" alt=\"x\">",
             "<br /><br /><hr class=\"x\" /><img src=\"a.png\" alt=\"x\" />"},
            {"look-alikes", "<brand>x</brand><metadata a=\"1\"></metadata><linkx>",
             "<brand>x</brand><metadata a=\"1\"></metadata><linkx></linkx>"},
            {"attributes", "<p ID=a id=b title='say \"hi\"' hidden x:y=1 data-n=<2>t</p>",
             "<p id=\"a\" title=\"say &quot;hi&quot;\" hidden=\"\" data-n=\"&lt;2\">t</p>"},
            {"implied ends", "<p>a<div>b</div><ul><li>c<li>d</ul><table><tr><td>e<td>f<tr><td>g</table>",
             "<p>a</p><div>b</div><ul><li>c</li><li>d</li></ul>"
             "<table><tr><td>e</td><td>f</td></tr><tr><td>g</td></tr></table>"},
            {"misnested and stray", "<b><i>x</b>y</i></p>", "<b><i>x</i></b>y"},
            {"unclosed at the end", "<div><p>a <em>b", "<div><p>a <em>b</em></p></div>"},
            {"left out",
             "<html><head><title>T</title><link href=x></head><BODY>a<!-- c --><script>"
             "if (a<b) x()</script><o:p>b</o:p><?php ?></body></html>",
             "ab"},
            {"open head ends at body", "<head><style>p{}</style><body>a", "a"},
            {"raw text", "<style>p>a{x:\"&\"}</style>< 3", "<style>p&gt;a{x:\"&amp;\"}</style>&lt; 3"},
        };
        for (const auto& [name, html, xhtml] : cases)
            QTest::newRow(name) << QString(html) << QString(xhtml);
    }

    void xhtml()
    {
        QFETCH(QString, html);
        QTEST(EPUB::xhtml(html), "xhtml");
    }

    // The spine decides the order, the navigation document included; hrefs are percent-decoded
    // and may climb within the book; unknown ids and missing files are skipped, images dropped.
    void readerOrder()
    {
        const Parts parts{
            {"META-INF/container.xml", container("OPS/pkg/book.opf")},
            {"OPS/pkg/book.opf", packageDocument({"c2 ../text/two.xhtml", "c1 ../text/chapter%20one.xhtml",
                                                  "nav ../nav.xhtml", "gone ../text/missing.xhtml"},
                                                 {"nav", "c1", "unknown", "gone", "c2"})},
            {"OPS/text/chapter one.xhtml", page("one<img src=\"x.png\" alt=\"\" />")},
            {"OPS/text/two.xhtml", "no body at all"},
            {"OPS/nav.xhtml", page("<nav>toc</nav>")},
        };
        QCOMPARE(EPUB::readHTML(book(parts)), "<nav>toc</nav>\none\nno body at all\n");
    }

    // Whatever a book names, nothing outside the unpacked book is read: the book is refused.
    void refusedBooks_data()
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
        // 70 KB listed 20,000 times would be 1.4 GB of text.
        const QByteArray chapter = page(QByteArray("<p>words words words</p>\n").repeated(2800));
        Parts bomb{{"META-INF/container.xml", container(opf)},
                   {opf, packageDocument({"c1 c1.xhtml"}, QStringList(20000, "c1"))},
                   {"OEBPS/c1.xhtml", chapter}};
        QTest::newRow("spine bomb") << bomb << "book.epub is too large to convert";
        QTest::newRow("no package") << Parts{{"META-INF/container.xml",
                                              "<container><rootfiles/></container>"}}
                                    << "This EPUB has no package file";
    }

    void refusedBooks()
    {
        QFETCH(Parts, parts);
        QFETCH(QString, reason);
        QString html;
        QCOMPARE(message([&] { html = EPUB::readHTML(book(parts)); }), reason);
        QVERIFY(!html.contains("SECRET"));
    }
};

QTEST_GUILESS_MAIN(EpubTest)
#include "test_epub.moc"
