#pragma once

#include "engines/metadata/metafield.h"

// A PDF's document information (its Info dictionary) and its XMP streams, through qpdf.
namespace MetadataEngine {

// Title, Author, Subject, Keywords, Creator, keyed by their Info names. Never fails: what cannot
// be read is empty, and `read`, when given, says whether the file could be read at all.
QList<MetaField> pdfFields(const QString& path, bool* read = nullptr);

// Writes a copy of `source` at `destination` (a new file). Stripped: without the Info
// dictionary and everything PDFEmbedded::strip and PDFAttachments::strip remove; returns the
// notes naming the attached files kept with their own metadata. Edited: the Info dictionary holds the
// non-empty `fields` among the five and nothing else (none at all when every one is empty), so
// the producer, the dates and entries of other programs go; the catalog's XMP stream, which
// readers show first and would keep the old values, goes too.
// Throws the PDF engine's refusals ("… is password-protected") and "Couldn’t write the PDF".
QStringList writePDF(const QString& source, const QString& destination, const QList<MetaField>& fields,
                     bool strip);

} // namespace MetadataEngine
