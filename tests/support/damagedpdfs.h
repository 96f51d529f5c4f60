#pragma once

// PDFs damaged the ways real files are: cut downloads, lost objects, spoiled streams, damaged
// embedded fonts and pictures; and sound ones that other programs wrote (LibreOffice, qpdf,
// img2pdf), made with those programs and byte edits.

#include "core/scratchfolder.h"
#include "core/shell.h"

#include "enginefixtures_a.h"
#include "minipdf.h"

#include <QFile>
#include <QImage>
#include <QMap>
#include <QRegularExpression>
#include <QUrl>
#include <QtEndian>

namespace DamagedPdfs {

// Lines of Hebrew, English and Arabic, as they are read.
inline const QStringList rightToLeft{"אני אוהב לקרוא ספרים בערב", "Hello world line", "أنا أحب قراءة الكتب"};

inline QByteArray bytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Pages of a line of text ("Page number <n> says hello") and a filled square each, as they come
// from MiniPdf; `count` pages.
inline QByteArray plainPages(int count)
{
    QList<MiniPdf::Page> pages;
    for (int n = 1; n <= count; ++n)
        pages.append(
            {QRectF(0, 0, 612, 792), 0,
             MiniPdf::text("F1", 24, 72, 700, "Page number " + QByteArray::number(n) + " says hello") +
                 "0 0 1 rg 72 300 200 200 re f"});
    return MiniPdf::bytes(pages);
}

// The pages of plainPages(), their streams compressed by qpdf.
inline bool writeCompressed(const QString& path, int count = 3)
{
    const QString plain = path + ".plain";
    if (!Fixture::write(plain, plainPages(count))) return false;
    const int status =
        QProcess::execute("qpdf", {"--compress-streams=y", "--object-streams=disable", plain, path});
    return QFile::remove(plain) && status == 0;
}

// Overwrites the first bytes of the content streams of `pages` (from 1) of a file written by
// writeCompressed(), so that they no longer inflate.
inline bool spoil(const QString& path, const QList<int>& pages)
{
    QByteArray data = bytes(path);
    // qpdf writes the page objects in page order.
    const QRegularExpression contents("/Contents (\\d+) 0 R");
    QList<QByteArray> streams;
    for (auto it = contents.globalMatch(QString::fromLatin1(data)); it.hasNext();)
        streams.append(it.next().captured(1).toLatin1());
    for (int page : pages) {
        const qsizetype object = data.indexOf("\n" + streams.value(page - 1) + " 0 obj");
        const qsizetype start = data.indexOf("stream\n", object);
        if (object < 0 || start < 0) return false;
        data[start + 7] = '\0';
        data[start + 8] = '\0';
    }
    return Fixture::write(path, data);
}

// A download of a web PDF (qpdf --linearize) broken off after 60 % of its bytes.
inline bool writeCutDownload(const QString& path)
{
    const QString whole = path + ".whole";
    if (!writeCompressed(path + ".plain") ||
        QProcess::execute("qpdf", {"--linearize", path + ".plain", whole}) != 0)
        return false;
    const QByteArray data = bytes(whole);
    return QFile::remove(path + ".plain") && QFile::remove(whole) &&
           Fixture::write(path, data.left(data.size() * 6 / 10));
}

// plainPages(3) with `from` replaced by `to`, which is as long, so that the cross-reference
// table still holds.
inline bool writeEdited(const QString& path, const QByteArray& from, const QByteArray& to)
{
    QByteArray data = plainPages(3);
    if (from.size() != to.size() || !data.contains(from)) return false;
    return Fixture::write(path, data.replace(from, to));
}

// A catalog whose page tree is an object the file doesn't hold.
inline bool writeLostTree(const QString& path)
{
    return writeEdited(path, "/Pages 2 0 R >>", "/Pages 77 0 R>>");
}

// Three pages whose tree names an object the file doesn't hold for page 2.
inline bool writeLostPage(const QString& path)
{
    return writeEdited(path, "[3 0 R 5 0 R 7 0 R ]", "[3 0 R 55 0 R 7 0 R]");
}

// Five pages as qpdf writes them in its QDF form, their objects in object streams, whose page tree
// counts `count` of them: the count edited, and the offsets mended with fix-qdf.
inline bool writeShortCount(const QString& path, int count)
{
    const QString plain = path + ".plain", qdf = path + ".qdf";
    if (!Fixture::write(plain, plainPages(5)) ||
        QProcess::execute("qpdf", {"--qdf", "--object-streams=generate", plain, qdf}) != 0)
        return false;
    QByteArray data = bytes(qdf);
    if (!data.contains("/Count 5")) return false;
    if (!Fixture::write(qdf, data.replace("/Count 5", "/Count " + QByteArray::number(count)))) return false;
    QProcess fix;
    fix.setStandardOutputFile(path);
    fix.start("fix-qdf", {qdf});
    return fix.waitForFinished(60000) && fix.exitStatus() == QProcess::NormalExit && fix.exitCode() == 0 &&
           QFile::remove(plain) && QFile::remove(qdf);
}

// LibreOffice documents written once per test run, with as few starts of LibreOffice as can be:
// "letter.pdf" (one page of plain text), "remark.pdf" (one page with a comment, exported as an
// annotation), "archived.pdf" (the same as PDF/A-2), "right to left.pdf" (a line of Hebrew, one of
// English and one of Arabic, each its own paragraph) and "mixed.pdf" (a line of Hebrew, an English
// line with a Hebrew word, a heading, two bullet lines and a line of Arabic). False when LibreOffice fails.
inline bool writeOfficePdfs(const QString& folder)
{
    const QByteArray head =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<office:document "
        "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
        "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
        "xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\" "
        "xmlns:fo=\"urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0\" "
        "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" office:version=\"1.3\" "
        "office:mimetype=\"application/vnd.oasis.opendocument.text\">"
        "<office:automatic-styles><style:style style:name=\"H\" style:family=\"paragraph\">"
        "<style:text-properties fo:font-size=\"20pt\" fo:font-weight=\"bold\"/>"
        "</style:style></office:automatic-styles><office:body><office:text>";
    const QByteArray tail = "</office:text></office:body></office:document>\n";
    const auto paragraphs = [&](const QStringList& lines) {
        QByteArray body;
        for (const QString& line : lines)
            body += "<text:p>" + line.toUtf8() + "</text:p>";
        return head + body + tail;
    };
    const QByteArray remark = head +
                              "<text:p>A sound letter with a remark<office:annotation><dc:creator>Ann"
                              "</dc:creator><text:p>Check this</text:p></office:annotation> in its "
                              "first line.</text:p>" +
                              tail;
    const QByteArray letter = head + "<text:p>A sound letter in plain words.</text:p>" + tail;
    const QByteArray mixed = paragraphs({rightToLeft[0], "The word שלום means peace in Hebrew.",
                                         "<text:span>Reading list</text:span>", "• First bullet about books",
                                         "• Second bullet about reading", rightToLeft[2]})
                                 .replace("<text:p><text:span>", "<text:p text:style-name=\"H\"><text:span>");
    if (!Fixture::write(folder + "/remark.fodt", remark) ||
        !Fixture::write(folder + "/archived.fodt", remark) ||
        !Fixture::write(folder + "/letter.fodt", letter) ||
        !Fixture::write(folder + "/right to left.fodt", paragraphs(rightToLeft)) ||
        !Fixture::write(folder + "/mixed.fodt", mixed))
        return false;
    const auto program = Shell::find("soffice");
    if (!program) return false;
    const ScratchFolder profile;
    const auto run = [&](const QString& filter, const QStringList& files) {
        QStringList args{"--headless",
                         "--norestore",
                         "-env:UserInstallation=" + QUrl::fromLocalFile(profile.path()).toString(),
                         "--convert-to",
                         "pdf:writer_pdf_Export:" + filter,
                         "--outdir",
                         folder};
        for (const QString& file : files)
            args << folder + "/" + file;
        return Shell::run(*program, args, std::nullopt, nullptr, {}, std::chrono::minutes(3)).status == 0;
    };
    const QStringList written{"remark", "letter", "archived", "right to left", "mixed"};
    return run(R"({"ExportNotes":{"type":"boolean","value":"true"}})",
               {"remark.fodt", "letter.fodt", "right to left.fodt", "mixed.fodt"}) &&
           run(R"({"SelectPdfVersion":{"type":"long","value":"2"}})", {"archived.fodt"}) &&
           std::all_of(written.begin(), written.end(),
                       [&](const QString& name) { return QFile::exists(folder + "/" + name + ".pdf"); });
}

// The stream data of the object that `key` (e.g. "/FontFile2") names first in the file at
// `path`: where they start and end. The file must hold its streams uncompressed.
inline std::pair<qsizetype, qsizetype> streamOf(const QByteArray& data, const QByteArray& key)
{
    const QRegularExpression named(QRegularExpression::escape(QString::fromLatin1(key)) + " (\\d+) 0 R");
    const QRegularExpressionMatch match = named.match(QString::fromLatin1(data));
    if (!match.hasMatch()) return {-1, -1};
    const qsizetype object = data.indexOf("\n" + match.captured(1).toLatin1() + " 0 obj");
    const qsizetype start = data.indexOf("stream\n", object) + 7;
    return {start, data.indexOf("endstream", start)};
}

// `source` (a PDF with an embedded TrueType font) with its streams uncompressed by qpdf and 20
// bytes changed in the table directory of that font, where the tables are found.
inline bool writeDamagedFont(const QString& source, const QString& path)
{
    if (QProcess::execute(
            "qpdf", {"--qdf", "--object-streams=disable", "--stream-data=uncompress", source, path}) != 0)
        return false;
    QByteArray data = bytes(path);
    const auto [start, end] = streamOf(data, "/FontFile2");
    if (start < 7 || end < start + 40) return false;
    for (qsizetype i = start + 12; i < start + 32; ++i)
        data[i] = char(data[i] ^ 0x5A);
    return Fixture::write(path, data);
}

// `source` (a PDF with an embedded TrueType font) with its streams uncompressed by qpdf and the
// last entry of that font's glyph index (loca) moved past the end of its glyph table, so that
// its last glyph ends outside the font.
inline bool writeFontPastItsEnd(const QString& source, const QString& path)
{
    if (QProcess::execute(
            "qpdf", {"--qdf", "--object-streams=disable", "--stream-data=uncompress", source, path}) != 0)
        return false;
    QByteArray data = bytes(path);
    const auto [start, end] = streamOf(data, "/FontFile2");
    if (start < 7 || end < start + 12) return false;
    const auto u16 = [&](qsizetype at) { return qFromBigEndian<quint16>(data.constData() + at); };
    const auto u32 = [&](qsizetype at) { return qFromBigEndian<quint32>(data.constData() + at); };
    QMap<QByteArray, std::pair<quint32, quint32>> tables; // offset and length, by tag
    for (int i = 0; i < u16(start + 4); ++i) {
        const qsizetype at = start + 12 + 16 * i;
        tables.insert(data.mid(at, 4), {u32(at + 8), u32(at + 12)});
    }
    if (!tables.contains("loca") || !tables.contains("glyf") || !tables.contains("head") ||
        !tables.contains("maxp"))
        return false;
    const bool longOffsets = u16(start + tables["head"].first + 50) == 1;
    const qsizetype last = start + tables["loca"].first +
                           qsizetype(u16(start + tables["maxp"].first + 4)) * (longOffsets ? 4 : 2);
    const quint32 past = tables["glyf"].second + 8;
    if (longOffsets)
        qToBigEndian<quint32>(past, data.data() + last);
    else
        qToBigEndian<quint16>(quint16(past / 2), data.data() + last);
    return Fixture::write(path, data);
}

// A page with no text layer holding a picture of three lines of text, a PNG that img2pdf embeds
// as it is (Flate data), with a few bytes changed three quarters of the way into its data, so
// that zlib stops there ("incorrect data check", or another complaint).
inline bool writeSpoiledFlateScan(const QString& path)
{
    const QImage page = Fixture::writing(
        QSize(640, 360), {{80, "The first line"}, {190, "A middle line"}, {320, "The last line"}});
    if (!page.convertToFormat(QImage::Format_Grayscale8).save(path + ".png", "PNG") ||
        QProcess::execute("img2pdf", {"-o", path, path + ".png"}) != 0 || !QFile::remove(path + ".png"))
        return false;
    QByteArray data = bytes(path);
    const qsizetype picture = data.indexOf("/Subtype /Image");
    const qsizetype start = data.indexOf("stream\n", picture) + 7;
    const qsizetype end = data.indexOf("endstream", start);
    if (picture < 0 || start < 7 || end < start + 100 ||
        !data.mid(picture - 400, 400).contains("/FlateDecode"))
        return false;
    for (qsizetype i = start + (end - start) * 3 / 4; i < start + (end - start) * 3 / 4 + 8; ++i)
        data[i] = char(data[i] ^ 0x37);
    return Fixture::write(path, data);
}

// A PDF without pages, as `qpdf --empty` writes one, or pikepdf's new document when `pikepdf`.
inline bool writeNoPages(const QString& path, bool pikepdf)
{
    if (!pikepdf) return QProcess::execute("qpdf", {"--empty", path}) == 0;
    const auto python = Shell::find("python3");
    return python &&
           Shell::run(*python, {"-c", "import pikepdf, sys; pikepdf.new().save(sys.argv[1])", path}).status ==
               0;
}

// Two pages whose page tree counts three.
inline bool writeLongCount(const QString& path)
{
    QByteArray data = plainPages(2);
    return data.contains("/Count 2") && Fixture::write(path, data.replace("/Count 2", "/Count 3"));
}

// A scanned page: three lines of text on white paper as a JPEG, which img2pdf embeds as it is.
inline bool writeScan(const QString& path)
{
    const QImage page = Fixture::writing(
        QSize(640, 360), {{80, "The first line"}, {190, "A middle line"}, {320, "The last line"}});
    return page.save(path + ".jpg", "JPEG", 85) &&
           QProcess::execute("img2pdf", {"-o", path, path + ".jpg"}) == 0 && QFile::remove(path + ".jpg");
}

// The JPEG data of a PDF written by writeScan(): where they start and end.
inline std::pair<qsizetype, qsizetype> jpegOf(const QByteArray& data)
{
    const qsizetype start = data.indexOf("\xFF\xD8\xFF");
    return {start, data.indexOf("\xFF\xD9", start) + 2};
}

// A scan whose JPEG has its second half zeroed.
inline bool writeZeroedScan(const QString& path)
{
    if (!writeScan(path)) return false;
    QByteArray data = bytes(path);
    const auto [start, end] = jpegOf(data);
    if (start < 0 || end <= start) return false;
    for (qsizetype i = start + (end - start) / 2; i < end; ++i)
        data[i] = '\0';
    return Fixture::write(path, data);
}

// A scan with a few bytes changed halfway through its JPEG's coded picture, which a decoder
// can't follow (bad Huffman codes).
inline bool writeGarbledScan(const QString& path)
{
    if (!writeScan(path)) return false;
    QByteArray data = bytes(path);
    const auto [start, end] = jpegOf(data);
    const qsizetype scan = data.indexOf("\xFF\xDA", start);
    if (scan < 0 || end <= scan) return false;
    for (qsizetype i = scan + (end - scan) / 2, n = 0; n < 8; ++i)
        if (uchar(data[i]) != 0xFF && uchar(data[i - 1]) != 0xFF) {
            data[i] = char(data[i] ^ 0x37);
            ++n;
        }
    return Fixture::write(path, data);
}

} // namespace DamagedPdfs
