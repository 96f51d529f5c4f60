#include "core/libreoffice/officelinks.h"
#include "core/shell.h"
#include "core/zip.h"
#include "engines/package/ooxml.h"

#include "../../support/enginefixtures_b.h"
#include "../../support/openwatch.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>
#include <poppler-qt6.h>

namespace {

const QByteArray secret = "CANARY-SECRET-7731";
const QString body = "Body text survives";

QString resultText(const QString& path)
{
    if (!path.endsWith(".pdf")) return QString::fromUtf8(readAll(path));
    const std::unique_ptr<Poppler::Document> pdf = Poppler::Document::load(path);
    QString text = QString("<%1 pages>").arg(pdf ? pdf->numPages() : 0);
    for (int i = 0; pdf && i < pdf->numPages(); ++i)
        text += pdf->page(i)->text(QRectF());
    return text;
}

QByteArray wordField(const QByteArray& instruction)
{
    return "<w:p><w:r><w:fldChar w:fldCharType=\"begin\"/></w:r><w:r><w:instrText xml:space=\"preserve\"> " +
           instruction.left(5) + "</w:instrText></w:r><w:r><w:instrText>" + instruction.mid(5) +
           "</w:instrText></w:r><w:r><w:fldChar w:fldCharType=\"separate\"/></w:r><w:r><w:t>old</w:t></w:r>"
           "<w:r><w:fldChar w:fldCharType=\"end\"/></w:r></w:p>";
}

QByteArray linkedPicture(const QByteArray& id)
{
    return "<w:p><w:r><w:drawing><wp:inline><wp:extent cx=\"952500\" cy=\"952500\"/><wp:docPr id=\"1\" "
           "name=\"P\"/><a:graphic><a:graphicData uri=\"http://schemas.openxmlformats.org/drawingml/2006/"
           "picture\"><pic:pic><pic:nvPicPr><pic:cNvPr id=\"1\" name=\"p.png\"/><pic:cNvPicPr/></pic:nvPicPr>"
           "<pic:blipFill><a:blip r:link=\"" +
           id +
           "\"/></pic:blipFill><pic:spPr><a:xfrm><a:off x=\"0\" y=\"0\"/><a:ext cx=\"952500\" cy=\"952500\"/>"
           "</a:xfrm><a:prstGeom prst=\"rect\"/></pic:spPr></pic:pic></a:graphicData></a:graphic></wp:inline>"
           "</w:drawing></w:r></w:p>";
}

QByteArray relationship(const QByteArray& id, const QByteArray& type, const QByteArray& target)
{
    return "<Relationship Id=\"" + id +
           "\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
           "relationships/" +
           type + "\" Target=\"" + target + "\" TargetMode=\"External\"/>";
}

} // namespace

// Hostile office documents name a file outside their folder and a local listener: converting
// them through LibreOffice opens neither, and the body still converts.
class OfficeLinksTest : public QObject
{
    Q_OBJECT
    ScratchTmp m_tmp;
    const QString m_docs = m_tmp.files + "/docs";
    const QString m_text = m_tmp.files + "/outside/canary.txt",
                  m_picture = m_tmp.files + "/outside/canary.png";
    QTcpServer m_listener;
    QByteArray m_web;

    QString docx()
    {
        const QByteArray namespaces =
            "xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\" "
            "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\" "
            "xmlns:wp=\"http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing\" "
            "xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\" "
            "xmlns:pic=\"http://schemas.openxmlformats.org/drawingml/2006/picture\"";
        const QByteArray document = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><w:document " + namespaces +
                                    "><w:body><w:p><w:r><w:t>" + body.toUtf8() + "</w:t></w:r></w:p>" +
                                    linkedPicture("rWeb") + linkedPicture("rFile") + linkedPicture("rNear") +
                                    wordField("INCLUDETEXT \"" + m_text.toUtf8() + "\"") +
                                    wordField("INCLUDEPICTURE \"" + m_web + "f.png\" \\d") +
                                    "<w:p><w:fldSimple w:instr=\" INCLUDEPICTURE &quot;" +
                                    m_picture.toUtf8() +
                                    "&quot;\"><w:r><w:t>old</w:t></w:r></w:fldSimple></w:p><w:altChunk "
                                    "r:id=\"rChunk\"/></w:body></w:document>";
        const QByteArray rels =
            "<?xml version=\"1.0\"?><Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/"
            "relationships\">" +
            relationship("rWeb", "image", m_web + "a.png") +
            relationship("rFile", "image", "file://" + m_picture.toUtf8()) +
            relationship("rNear", "image", "../outside/canary.png") +
            relationship("rChunk", "aFChunk", m_web + "chunk.html") + "</Relationships>";
        Zip::write(
            {{"[Content_Types].xml",
              "<?xml version=\"1.0\"?><Types xmlns=\"http://schemas.openxmlformats.org/package/2006/"
              "content-types\"><Default Extension=\"rels\" ContentType=\"application/"
              "vnd.openxmlformats-package.relationships+xml\"/><Default Extension=\"xml\" "
              "ContentType=\"application/xml\"/><Override PartName=\"/word/document.xml\" "
              "ContentType=\"application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+"
              "xml\"/></Types>"},
             {"_rels/.rels",
              "<?xml version=\"1.0\"?><Relationships xmlns=\"http://schemas.openxmlformats.org/"
              "package/2006/relationships\"><Relationship Id=\"r1\" Type=\"http://"
              "schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
              "Target=\"word/document.xml\"/></Relationships>"},
             {"word/document.xml", document},
             {"word/_rels/document.xml.rels", rels}},
            m_docs + "/report.docx");
        return m_docs + "/report.docx";
    }

    // Plain, hex-escaped and Unicode-escaped field names alike.
    QString rtf()
    {
        const QByteArray field = "{\\field{\\*\\fldinst %1}{\\fldrslt old}}\\par\n";
        QByteArray text = "{\\rtf1\\ansi " + body.toUtf8() + "\\par\n";
        for (const QByteArray& instruction :
             {"INCLUDETEXT \"" + m_text.toUtf8() + "\"", "INCLUDEPICTURE \"" + m_web + "r.png\" \\\\d",
              "INCLUDEPICTURE \"" + m_picture.toUtf8() + "\"",
              "\\'49NCLUDEPICTURE \"" + m_picture.toUtf8() + "\"",
              "{\\uc1\\u73?NCLUDETEXT \"" + m_text.toUtf8() + "\"}"})
            text += QByteArray(field).replace("%1", instruction);
        return writeFile(m_docs + "/notes.rtf", text + "}");
    }

    // Two picture slides, one linked to the listener and one to the canary.
    QString pptx()
    {
        const QString made = m_tmp.files + "/made.pptx";
        OOXML::writePPTX({png({40, 30}), png({40, 30})}, {400, 300}, made);
        const ScratchFolder parts = Zip::extract(made);
        QMap<QString, QByteArray> package;
        QDirIterator it(parts.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            package.insert(path.mid(parts.path().size() + 1), readAll(path));
        }
        for (const auto& [n, target] : {std::pair{1, m_web + "s.png"}, {2, "file://" + m_picture.toUtf8()}}) {
            QByteArray& rels = package[QString("ppt/slides/_rels/slide%1.xml.rels").arg(n)];
            const QByteArray embedded = "Target=\"../media/image" + QByteArray::number(n) + ".png\"";
            if (!rels.contains(embedded))
                qFatal("the slide's picture is no longer at %s", embedded.constData());
            rels.replace(embedded, "Target=\"" + target + "\" TargetMode=\"External\"");
        }
        Zip::write(package, m_docs + "/deck.pptx");
        return m_docs + "/deck.pptx";
    }

  private slots:
    void initTestCase()
    {
        if (!Shell::find("soffice")) QSKIP("LibreOffice is not installed");
        QVERIFY(m_listener.listen(QHostAddress::LocalHost));
        m_web = "http://127.0.0.1:" + QByteArray::number(m_listener.serverPort()) + "/";
        writeFile(m_text, secret + "\n");
        writeFile(m_picture, png({20, 20}));
        QDir().mkpath(m_docs);
    }

    void cleanup() { QCOMPARE(entries(m_tmp.path), QStringList()); }

    void linksLeadNowhere_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("expected"); // in the result's text
        QTest::newRow("docx → txt") << docx() << "txt" << body;
        QTest::newRow("docx → pdf") << docx() << "pdf" << body;
        QTest::newRow("rtf → txt") << rtf() << "txt" << body;
        QTest::newRow("rtf → pdf") << rtf() << "pdf" << body;
        QTest::newRow("pptx → pdf") << pptx() << "pdf"
                                    << "<2 pages>";
    }

    // Parts inside the package are kept, wherever their path starts; hyperlinks stay links.
    void relationshipsKeptInside()
    {
        QByteArray rels =
            "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
        const QList<std::pair<QByteArray, QByteArray>> targets{{"a", "media/a.png"},
                                                               {"b", "/word/media/b.png"},
                                                               {"c", "../customXml/item1.xml"},
                                                               {"d", "../../outside.png"},
                                                               {"e", "%2e%2e/%2E%2E/x.png"},
                                                               {"f", "file:///x.png"},
                                                               {"g", "..\\..\\x.png"},
                                                               {"h", "/../x.png"}};
        for (const auto& [id, target] : targets)
            rels += "<Relationship Id=\"" + id + "\" Type=\"t/image\" Target=\"" + target + "\"/>";
        rels += relationship("i", "hyperlink", "http://example.org/") + relationship("j", "image", "a.png");
        const QByteArray kept =
            OfficeLinks::relationships(rels + "</Relationships>", "word/_rels/document.xml.rels")
                .value_or("<not read>");
        QString ids;
        for (const QRegularExpressionMatch& m : QRegularExpression(" Id=\"(\\w)\"").globalMatch(kept))
            ids += m.captured(1);
        QCOMPARE(ids, QString("abci"));
    }

    void linksLeadNowhere()
    {
        QFETCH(QString, source);
        QFETCH(QString, target);
        QFETCH(QString, expected);
        const OpenWatch watch({m_text, m_picture});
        const QStringList results = convert(source, target);
        QCOMPARE(results.size(), 1);
        const QString text = resultText(results.first());
        QFile::remove(results.first());
        QVERIFY2(text.contains(expected) && !text.contains(secret), qPrintable(text));
        QVERIFY(!watch.opened());
        const bool asked = m_listener.waitForNewConnection(0);
        while (QTcpSocket* connection = m_listener.nextPendingConnection())
            delete connection;
        QVERIFY(!asked);
    }
};

QTEST_MAIN(OfficeLinksTest)
#include "test_officelinks.moc"
