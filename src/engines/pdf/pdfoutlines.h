#pragma once

#include <QStringList>
#include <functional>
#include <qpdf/QPDFObjectHandle.hh>

class QPDF;

// The bookmarks of a PDF carried into a new one made of its pages.
namespace PDFOutlines {

// What a bookmark leads to in the new PDF, made of `dest`, the page and view it leads to in its
// source (a named destination already looked up); a null handle when that page is not there.
using Destination = std::function<QPDFObjectHandle(QPDFObjectHandle dest)>;

// The titles of the bookmarks whose page was not there.
struct Lost
{
    QStringList removed; // gone, with nothing kept under them
    QStringList emptied; // kept, leading nowhere, for the bookmarks kept under them
};

// Appends the bookmarks of `source`, nested as they are, after those `out` has, with their
// titles, colours, styles and open or closed state; each one leads where `destination` says, and
// one that does something other than go to a page (open a web address, say) does it still.
Lost append(QPDF& source, QPDF& out, const Destination& destination);

// The page and view a named destination holds: `named` itself, or the array under /D of the
// dictionary some writers store it in (`(name) << /D [page /XYZ …] >>`).
QPDFObjectHandle viewOf(QPDFObjectHandle named);

// `value`, an object of `source`, copied into `out` with what it refers to; references to pages
// not copied into `out` before become nulls.
QPDFObjectHandle copied(QPDF& source, QPDF& out, QPDFObjectHandle value);

} // namespace PDFOutlines
