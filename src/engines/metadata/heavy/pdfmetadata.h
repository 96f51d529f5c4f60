#pragma once

#include "engines/metadata/metafield.h"

// A PDF's document information (its Info dictionary) and its XMP streams, through qpdf.
namespace MetadataEngine {

// Title, Author, Subject, Keywords, Creator, keyed by their Info names. Never fails: what cannot
// be read is empty.
QList<MetaField> pdfFields(const QString& path);

// Writes a copy of `source` at `destination` (a new file). Stripped: without the Info
// dictionary, the catalog's XMP stream, and the pages' XMP streams and private application
// data. Edited: `fields` (only those changed) set in the Info dictionary, "" removing an entry,
// every other entry kept; the catalog's XMP stream, which would contradict them, is dropped.
// Throws the PDF engine's refusals ("… is password-protected") and "Couldn’t write the PDF".
void writePDF(const QString& source, const QString& destination, const QList<MetaField>& fields, bool strip);

} // namespace MetadataEngine
