#pragma once

// PDFs of numbered pages and what Poppler reads back from one: for the tools that copy, order
// and turn whole pages.

#include "engines/pdf/pdfengine.h"
#include "minipdf.h"

#include <QFile>
#include <QHash>
#include <QList>
#include <QRegularExpression>
#include <QString>

namespace PagesFixture {

// A PDF whose page n (1-based) reads "<label> n", each with its own /Rotate from `rotations`
// (0 when the list is shorter), and with a title and author in its document information.
inline bool write(const QString& path, int count, const QList<int>& rotations = {},
                  const QByteArray& label = "Page")
{
    QList<MiniPdf::Page> pages;
    for (int i = 0; i < count; ++i)
        pages << MiniPdf::Page{QRectF(0, 0, 300, 400), rotations.value(i),
                               MiniPdf::text("F1", 24, 40, 200, label + " " + QByteArray::number(i + 1))};
    QByteArray bytes = MiniPdf::bytes(pages);
    bytes.replace("/Root 1 0 R >>", "/Root 1 0 R /Info << /Title (Quarterly) /Author (Ann Lee) >> >>");
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Each page of the PDF at `path` as "<text>@<rotation>", its text without spaces (text on a
// turned page loses them), e.g. "Page3@90", read by Poppler.
inline QStringList read(const QString& path)
{
    QStringList out;
    const auto document = PDFEngine::open(path);
    for (int i = 0; i < document->numPages(); ++i) {
        const std::unique_ptr<Poppler::Page> page(document->page(i));
        const QHash<Poppler::Page::Orientation, int> degrees{{Poppler::Page::Portrait, 0},
                                                             {Poppler::Page::Landscape, 90},
                                                             {Poppler::Page::UpsideDown, 180},
                                                             {Poppler::Page::Seascape, 270}};
        out << page->text(QRectF()).remove(QRegularExpression("\\s")) + "@" +
                   QString::number(degrees.value(page->orientation(), -1));
    }
    return out;
}

inline QString info(const QString& path, const QString& key)
{
    return PDFEngine::open(path)->info(key);
}

} // namespace PagesFixture
