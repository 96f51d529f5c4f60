#pragma once

class QPDF;

// What a PDF holds about its makers beyond its document information.
namespace PDFEmbedded {

// Removes, everywhere in `pdf`: the XMP streams (/Metadata) of the catalog, pages, pictures,
// forms and fonts, with private application data (/PieceInfo, /LastModified); the authors (/T)
// and dates (/M, /CreationDate) of annotations, leaving form fields their names; and the Exif,
// XMP, IPTC, ICC and comment segments of stored JPEG pictures, whose coded data stays byte for
// byte, so every page draws as before. A picture whose filters cannot be undone losslessly is
// left as it is.
void strip(QPDF& pdf);

} // namespace PDFEmbedded
