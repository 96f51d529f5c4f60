#pragma once

// PDFs with links, named destinations, bookmarks, attached files and a filled form, as
// LibreOffice, Ghostscript and LaTeX-like writers make them, and what qpdf reads back of such a file: where
// each link and bookmark leads, its named destinations, attached files, form fields and
// restrictions.

#include "core/scratchfolder.h"
#include "core/shell.h"
#include "minipdf.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QRegularExpression>
#include <QStringList>
#include <QUrl>

namespace LinkedPdfs {

inline int run(const QString& program, const QStringList& args, QByteArray* out = nullptr)
{
    const auto found = Shell::find(program);
    if (!found) return -1;
    const auto result = Shell::run(*found, args);
    if (out) *out = result.stdoutBytes;
    return result.status;
}

inline bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// A paper of 3 pages as LaTeX's hyperref writes one: named destinations in the name tree, links
// by name forward (page 1 to 3) and back (3 to 1), a link to page 3 by its number (from 2),
// nested bookmarks by name and by page ("Method" closed), "notes.txt" in the list of attached
// files, "data.csv" attached by a comment on page 2, and on page 3 the filled field "Reviewer"
// and a comment with its pop-up.
inline bool paper(const QString& path)
{
    const auto page = [](int contents, const QByteArray& annots) {
        return "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 400] /Contents " +
               QByteArray::number(contents) + " 0 R /Resources << /Font << /F1 9 0 R >> >> /Annots [" +
               annots + "] >>";
    };
    const auto stream = [](const QByteArray& data, const QByteArray& dict = {}) {
        return "<< " + dict + " /Length " + QByteArray::number(data.size()) + " >>\nstream\n" + data +
               "\nendstream";
    };
    const auto link = [](const QByteArray& target) {
        return "<< /Type /Annot /Subtype /Link /Rect [40 300 200 320] /Border [0 0 0] " + target + " >>";
    };
    const QList<QByteArray> objects{
        "<< /Type /Catalog /Pages 2 0 R /Names << /Dests 13 0 R /EmbeddedFiles 14 0 R >> /Outlines 17 0 R "
        "/AcroForm << /Fields [11 0 R] /NeedAppearances true /DA (/Helv 0 Tf 0 g) >> >>",
        "<< /Type /Pages /Kids [3 0 R 5 0 R 7 0 R] /Count 3 >>",
        page(4, link("/A << /S /GoTo /D (results) >>")),
        stream(MiniPdf::text("F1", 24, 40, 340, "Intro")),
        page(6,
             link("/Dest [2 /Fit]") +
                 " << /Type /Annot /Subtype /FileAttachment /Rect [40 100 60 120] /FS 10 0 R /Name /PushPin "
                 "/Contents (data) >>"),
        stream(MiniPdf::text("F1", 24, 40, 340, "Method")),
        page(8, link("/A << /S /GoTo /D (intro) >>") + " 11 0 R 21 0 R 22 0 R"),
        stream(MiniPdf::text("F1", 24, 40, 340, "Results")),
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
        "<< /Type /Filespec /F (data.csv) /UF (data.csv) /EF << /F 12 0 R >> >>",
        "<< /Type /Annot /Subtype /Widget /FT /Tx /T (Reviewer) /V (Bo Berg) /Rect [40 40 200 60] /P 7 0 R "
        "/F 4 "
        "/DA (/Helv 12 Tf 0 g) >>",
        stream("a,b\n1,2\n", "/Type /EmbeddedFile"),
        "<< /Names [(intro) [3 0 R /XYZ 0 400 null] (method) [5 0 R /XYZ 0 400 null] (results) [7 0 R /FitH "
        "400]] >>",
        "<< /Names [(notes.txt) 15 0 R] >>",
        "<< /Type /Filespec /F (notes.txt) /UF (notes.txt) /EF << /F 16 0 R >> >>",
        stream("paper notes\n", "/Type /EmbeddedFile"),
        "<< /Type /Outlines /First 18 0 R /Last 19 0 R /Count 3 >>",
        "<< /Title (Intro) /Parent 17 0 R /Next 19 0 R /A << /S /GoTo /D (intro) >> >>",
        "<< /Title (Method) /Parent 17 0 R /Prev 18 0 R /Dest (method) /First 20 0 R /Last 20 0 R /Count -1 "
        ">>",
        "<< /Title (Results) /Parent 19 0 R /Dest [7 0 R /Fit] >>",
        "<< /Type /Annot /Subtype /Text /Rect [250 350 270 370] /Contents (Check this) /Popup 22 0 R /P 7 0 "
        "R >>",
        "<< /Type /Annot /Subtype /Popup /Rect [250 250 290 350] /Parent 21 0 R /P 7 0 R >>",
    };
    return writeBytes(path, MiniPdf::assemble(objects, "1.7"));
}

// A paper of 3 pages as Ghostscript's pdfwrite makes one from pdfmarks: named destinations
// stored as dictionaries (`(intro) << /D [page /XYZ …] >>`), links by name forward (page 1 to 3)
// and back (3 to 1), and bookmarks by name ("Intro", "Results").
inline bool ghostscriptPaper(const QString& path)
{
    const QByteArray ps = R"(%!PS
/Helvetica findfont 24 scalefont setfont
[ /Dest /intro /View [/XYZ 0 792 null] /DEST pdfmark
72 700 moveto (Intro) show
[ /Rect [70 600 200 620] /Border [0 0 0] /Dest /results /Subtype /Link /ANN pdfmark
showpage
[ /Dest /method /View [/XYZ 0 792 null] /DEST pdfmark
72 700 moveto (Method) show
showpage
[ /Dest /results /View [/XYZ 0 500 null] /DEST pdfmark
72 700 moveto (Results) show
[ /Rect [70 600 200 620] /Border [0 0 0] /Dest /intro /Subtype /Link /ANN pdfmark
showpage
[ /Title (Intro) /Dest /intro /OUT pdfmark
[ /Title (Results) /Dest /results /OUT pdfmark
)";
    return writeBytes(path + ".ps", ps) &&
           run("gs", {"-q", "-dNOPAUSE", "-dBATCH", "-dSAFER", "-sDEVICE=pdfwrite", "-sOutputFile=" + path,
                      path + ".ps"}) == 0 &&
           QFile::remove(path + ".ps");
}

// A guide of 4 pages from LibreOffice Writer: a table of contents on page 1 linking forward to
// pages 2, 4 and 3 (in the order Writer lists them), links back (2 to 1, 4 to 2), a bookmark and a named
// destination per heading
// ("First" … "Fourth"), and the field "Name" filled with "Ann Lee" on page 1; then "notes.txt"
// and "table.csv" attached and printing and changes forbidden by qpdf. Starts LibreOffice once.
// An empty result when LibreOffice is not installed or a step fails.
inline QString guide(const QString& folder)
{
    const QByteArray fodt = R"(<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" xmlns:xlink="http://www.w3.org/1999/xlink"
 xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0"
 xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0"
 xmlns:form="urn:oasis:names:tc:opendocument:xmlns:form:1.0"
 xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0"
 xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0" office:version="1.3"
 office:mimetype="application/vnd.oasis.opendocument.text">
<office:automatic-styles><style:style style:name="P1" style:family="paragraph">
<style:paragraph-properties fo:break-before="page"/></style:style></office:automatic-styles>
<office:body><office:text>
<office:forms form:automatic-focus="false" form:apply-design-mode="false"><form:form form:name="Form">
<form:text form:name="Name" form:id="c1" form:current-value="Ann Lee" form:value="Ann Lee"/></form:form>
</office:forms>
<text:p>Contents: <text:a xlink:type="simple" xlink:href="#Second">two</text:a>,
<text:a xlink:type="simple" xlink:href="#Third">three</text:a>,
<text:a xlink:type="simple" xlink:href="#Fourth">four</text:a>.</text:p>
<text:h text:outline-level="1"><text:bookmark text:name="First"/>First</text:h>
<text:p>Name: <draw:control text:anchor-type="as-char" svg:width="5cm" svg:height="0.8cm" draw:control="c1"/></text:p>
<text:h text:style-name="P1" text:outline-level="1"><text:bookmark text:name="Second"/>Second</text:h>
<text:p>Back to <text:a xlink:type="simple" xlink:href="#First">one</text:a>.</text:p>
<text:h text:style-name="P1" text:outline-level="1"><text:bookmark text:name="Third"/>Third</text:h>
<text:p>Body three.</text:p>
<text:h text:style-name="P1" text:outline-level="1"><text:bookmark text:name="Fourth"/>Fourth</text:h>
<text:p>Back to <text:a xlink:type="simple" xlink:href="#Second">two</text:a>.</text:p>
</office:text></office:body></office:document>
)";
    const QDir dir(folder);
    const auto soffice = Shell::find("soffice");
    if (!soffice || !writeBytes(dir.filePath("guide.fodt"), fodt)) return {};
    const ScratchFolder profile;
    const QString filter = QStringLiteral(
        R"(pdf:writer_pdf_Export:{"ExportBookmarksToPDFDestination":{"type":"boolean","value":"true"}})");
    if (Shell::run(*soffice,
                   {"--headless", "--norestore",
                    "-env:UserInstallation=" + QUrl::fromLocalFile(profile.path()).toString(), "--convert-to",
                    filter, "--outdir", folder, dir.filePath("guide.fodt")},
                   std::nullopt, nullptr, {}, std::chrono::minutes(3))
            .status != 0)
        return {};
    if (!writeBytes(dir.filePath("notes.txt"), "guide notes\n") ||
        !writeBytes(dir.filePath("table.csv"), "x,y\n"))
        return {};
    const QString out = dir.filePath("guide restricted.pdf");
    return run("qpdf", {dir.filePath("guide.pdf"), "--add-attachment", dir.filePath("notes.txt"), "--",
                        "--add-attachment", dir.filePath("table.csv"), "--", "--encrypt", "", "owner", "256",
                        "--print=none", "--modify=none", "--", out}) == 0
               ? out
               : QString();
}

// What qpdf reads of a PDF's pages, links, bookmarks, attachments, fields and restrictions.
struct Structure
{
    int pages = 0;
    // Per page, the page (from 1) each link within the document leads to; 0 when it leads to no
    // page of the document.
    QList<QList<int>> links;
    // Named destination → the page it leads to, 0 for none.
    QMap<QString, int> names;
    // Bookmarks depth first, "Title 3", nested ones after ">" per level; 0 for no page; a closed
    // one with bookmarks under it ends in " (closed)".
    QStringList bookmarks;
    // Keys of the list of attached files, sorted, as qpdf --list-attachments gives them.
    QStringList attachments;
    // Files attached by comments, "name@page".
    QStringList commentFiles;
    // Form fields, "name=value@page".
    QStringList fields;
    // Annotations that name another page as theirs, and pop-ups apart from their comments.
    int misplaced = 0;
    bool encrypted = false, canPrint = true, canModify = true;

    // The links and named destinations as a failure message shows them.
    QString linksText() const
    {
        QStringList pages, named;
        for (const QList<int>& page : links) {
            QStringList targets;
            for (int target : page)
                targets << QString::number(target);
            pages << "[" + targets.join(",") + "]";
        }
        for (auto it = names.cbegin(); it != names.cend(); ++it)
            named << it.key() + "=" + QString::number(it.value());
        return pages.join(" ") + " names " + named.join(",");
    }
};

inline QString text(const QJsonValue& value)
{
    QString s = value.toString();
    return s.startsWith("u:") ? s.mid(2) : s.startsWith("/") ? s.mid(1) : s;
}

class Reader
{
  public:
    explicit Reader(const QJsonObject& json) : m_objects(json["qpdf"].toArray()[1].toObject())
    {
        for (const QJsonValue& page : json["pages"].toArray())
            m_pages << page["object"].toString();
        m_root = deref(m_objects["trailer"].toObject()["value"].toObject()["/Root"]).toObject();
    }

    QJsonValue deref(const QJsonValue& v) const
    {
        static const QRegularExpression ref("^\\d+ \\d+ R$");
        if (!v.isString() || !ref.match(v.toString()).hasMatch()) return v;
        const QJsonObject o = m_objects["obj:" + v.toString()].toObject();
        return o.contains("stream") ? o["stream"].toObject()["dict"] : o["value"];
    }

    int pageOf(const QJsonValue& dest, int depth = 0) const
    {
        const QJsonValue d = deref(dest);
        if (depth > 4) return 0;
        // A page number where the page belongs counts, as viewers take it.
        if (d.isArray() && d.toArray().at(0).isDouble()) {
            const int number = d.toArray().at(0).toInt() + 1;
            return number >= 1 && number <= m_pages.size() ? number : 0;
        }
        if (d.isArray()) return int(m_pages.indexOf(d.toArray().at(0).toString())) + 1;
        if (d.isObject()) return pageOf(d.toObject()["/D"], depth + 1);
        const QString key = d.toString();
        if (key.startsWith("/")) return pageOf(deref(m_root["/Dests"]).toObject()[key], depth + 1);
        return pageOf(named(deref(deref(m_root["/Names"]).toObject()["/Dests"]), key), depth + 1);
    }

    // The value of `key` in the name tree `node`.
    QJsonValue named(const QJsonValue& node, const QString& key) const
    {
        QMap<QString, QJsonValue> all;
        eachName(node, all);
        return all.value(key);
    }

    void eachName(const QJsonValue& node, QMap<QString, QJsonValue>& out) const
    {
        const QJsonObject n = deref(node).toObject();
        const QJsonArray names = deref(n["/Names"]).toArray();
        for (qsizetype i = 0; i + 1 < names.size(); i += 2)
            out.insert(names[i].toString(), names[i + 1]);
        for (const QJsonValue& kid : deref(n["/Kids"]).toArray())
            eachName(kid, out);
    }

    Structure read(const QJsonObject& json) const
    {
        Structure s;
        s.pages = int(m_pages.size());
        for (int i = 0; i < s.pages; ++i) {
            QList<int> links;
            const QJsonArray annots = deref(deref(m_pages[i]).toObject()["/Annots"]).toArray();
            const auto here = [&annots](const QJsonValue& ref) { return annots.contains(ref); };
            for (const QJsonValue& a : annots) {
                const QJsonObject annot = deref(a).toObject();
                const QString subtype = annot["/Subtype"].toString();
                if ((annot.contains("/P") && annot["/P"] != m_pages[i]) ||
                    (annot.contains("/Popup") && !here(annot["/Popup"])) ||
                    (subtype == "/Popup" && !here(annot["/Parent"])))
                    ++s.misplaced;
                if (subtype == "/FileAttachment") {
                    const QJsonObject fileSpec = deref(annot["/FS"]).toObject();
                    s.commentFiles << text(fileSpec.contains("/UF") ? fileSpec["/UF"] : fileSpec["/F"]) +
                                          "@" + QString::number(i + 1);
                }
                if (subtype != "/Link") continue;
                const QJsonObject action = deref(annot["/A"]).toObject();
                if (annot.contains("/Dest"))
                    links << pageOf(annot["/Dest"]);
                else if (action["/S"].toString() == "/GoTo")
                    links << pageOf(action["/D"]);
            }
            s.links << links;
        }
        const QJsonObject dests = deref(m_root["/Dests"]).toObject();
        for (const QString& key : dests.keys())
            s.names.insert(key.mid(1), pageOf(dests[key]));
        QMap<QString, QJsonValue> tree;
        eachName(deref(deref(m_root["/Names"]).toObject()["/Dests"]), tree);
        for (auto it = tree.cbegin(); it != tree.cend(); ++it)
            s.names.insert(text(it.key()), pageOf(it.value()));
        outline(json["outlines"].toArray(), "", s.bookmarks);
        for (const QJsonValue& f : json["acroform"]["fields"].toArray())
            s.fields << f["fullname"].toString() + "=" + text(f["value"]) + "@" +
                            QString::number(f["pageposfrom1"].toInt());
        s.encrypted = json["encrypt"]["encrypted"].toBool();
        s.canPrint = json["encrypt"]["capabilities"]["printhigh"].toBool();
        s.canModify = json["encrypt"]["capabilities"]["modify"].toBool();
        return s;
    }

  private:
    void outline(const QJsonArray& items, const QString& prefix, QStringList& out) const
    {
        for (const QJsonValue& item : items) {
            const bool closed = !item["kids"].toArray().isEmpty() && !item["open"].toBool();
            out << prefix + item["title"].toString() + " " +
                       QString::number(item["destpageposfrom1"].toInt()) + (closed ? " (closed)" : "");
            outline(item["kids"].toArray(), prefix + ">", out);
        }
    }

    QJsonObject m_objects;
    QStringList m_pages;
    QJsonObject m_root;
};

// The structure of `pdf` as qpdf --json and --list-attachments read it; pages 0 when qpdf can't.
inline Structure read(const QString& pdf)
{
    QByteArray json, listed;
    if (run("qpdf", {"--json", pdf}, &json) != 0 || run("qpdf", {"--list-attachments", pdf}, &listed) != 0)
        return {};
    const QJsonObject doc = QJsonDocument::fromJson(json).object();
    Structure s = Reader(doc).read(doc);
    for (const QString& line : QString::fromUtf8(listed).split('\n'))
        if (line.contains(" -> ")) s.attachments << line.section(" -> ", 0, 0);
    s.attachments.sort();
    return s;
}

// The data of the attached file listed under `key`.
inline QByteArray attachment(const QString& pdf, const QString& key)
{
    QByteArray out;
    return run("qpdf", {"--show-attachment=" + key, pdf}, &out) == 0 ? out : QByteArray("(none)");
}

} // namespace LinkedPdfs
