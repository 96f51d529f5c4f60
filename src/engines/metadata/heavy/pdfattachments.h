#pragma once

#include <QStringList>

class QPDF;

// The files attached to a PDF, in its list of attachments and in file attachment comments.
namespace PDFAttachments {

// Removes each attached file's description and dates, and strips an attached picture (JPEG,
// PNG, TIFF, WebP, GIF, BMP, HEIC, AVIF) of its tags as MetadataEngine::writeImage does, its
// size and checksum updated. Any other attached file, or a picture that can't be stripped, is
// kept as it is; the returned notes name each one and say why.
QStringList strip(QPDF& pdf);

} // namespace PDFAttachments
