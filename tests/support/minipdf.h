#pragma once

// Small PDF files written byte by byte, for page geometry QPdfWriter cannot make (crop boxes,
// rotation, fractional and huge sizes) and for text in exact sizes in the standard fonts: every
// page has /F1 (Helvetica) and /F2 (Helvetica-Bold).

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QRectF>
#include <QString>

namespace MiniPdf {

struct Page
{
    QRectF mediaBox;
    int rotate = 0;
    QByteArray content; // the page's drawing operators, e.g. "0 0 1 rg 10 10 50 50 re f"
};

// A whole file of `objects`, numbered from 1 in order, the first being the catalog, with the
// cross-reference table their byte offsets make.
inline QByteArray assemble(const QList<QByteArray>& objects, const QByteArray& version)
{
    QByteArray out = "%PDF-" + version + "\n";
    QList<qsizetype> offsets;
    for (qsizetype i = 0; i < objects.size(); ++i) {
        offsets << out.size();
        out += QByteArray::number(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const qsizetype xref = out.size();
    out += "xref\n0 " + QByteArray::number(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (qsizetype o : offsets)
        out += QByteArray::number(o).rightJustified(10, '0') + " 00000 n \n";
    return out + "trailer\n<< /Size " + QByteArray::number(objects.size() + 1) +
           " /Root 1 0 R >>\nstartxref\n" + QByteArray::number(xref) + "\n%%EOF\n";
}

inline QByteArray number(double v)
{
    return QByteArray::number(v, 'f', 3);
}

// Content operators that draw `text` (a PDF string body: parentheses and backslashes escaped) at
// (x, y) in `font` at `size`.
inline QByteArray text(const QByteArray& font, double size, double x, double y, const QByteArray& text)
{
    return "BT /" + font + " " + number(size) + " Tf " + number(x) + " " + number(y) + " Td (" + text +
           ") Tj ET\n";
}

// The bytes of a PDF with these pages.
inline QByteArray bytes(const QList<Page>& pages)
{
    QList<QByteArray> objects;
    QByteArray kids;
    for (qsizetype i = 0; i < pages.size(); ++i)
        kids += QByteArray::number(3 + 2 * i) + " 0 R ";
    const QByteArray fonts = "/Resources << /Font << /F1 " + QByteArray::number(3 + 2 * pages.size()) +
                             " 0 R /F2 " + QByteArray::number(4 + 2 * pages.size()) + " 0 R >> >>";
    objects << "<< /Type /Catalog /Pages 2 0 R >>";
    objects << "<< /Type /Pages /Kids [" + kids + "] /Count " + QByteArray::number(pages.size()) + " >>";
    for (qsizetype i = 0; i < pages.size(); ++i) {
        const Page& p = pages[i];
        const QRectF& b = p.mediaBox;
        objects << "<< /Type /Page /Parent 2 0 R /MediaBox [" + number(b.left()) + " " + number(b.top()) +
                       " " + number(b.right()) + " " + number(b.bottom()) + "] /Rotate " +
                       QByteArray::number(p.rotate) + " /Contents " + QByteArray::number(4 + 2 * i) +
                       " 0 R " + fonts + " >>";
        objects << "<< /Length " + QByteArray::number(p.content.size()) + " >>\nstream\n" + p.content +
                       "\nendstream";
    }
    objects << "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>";
    objects << "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica-Bold >>";
    return assemble(objects, "1.4");
}

inline bool write(const QString& path, const QList<Page>& pages)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes(pages)) > 0;
}

} // namespace MiniPdf
