#pragma once

#include "engines/metadata/metafield.h"

#include <QStringList>

class Job;

// The Metadata tool's reading and its work on one file, on a worker thread.
namespace MetadataWork {

// Which reader and writer a file takes: images (GIF included), PDFs, and audio or video.
enum class Kind { image, pdf, media };
Kind kind(const QString& file);

// What the window shows for one file: its fields, and for an image its facts and location.
ImageFields read(const QString& file);

// What an edit writes: a PDF's every field, which together replace its document information;
// for the others the fields that differ from `original`, so a tag left alone is never rewritten.
QList<MetaField> edits(Kind kind, const QList<MetaField>& fields, const QList<MetaField>& original);

// Writes "<base> No Metadata.<ext>" (strip) or "<base> Tagged.<ext>" (edit, with `fields` from
// edits()) for `file`, numbered while the name is taken, beside it or in the output folder, with
// the file's extension in lower case. `kind` is the first file's. An edit of a PDF whose fields
// could not be read (`fieldsRead` false) is refused, since it would blank the ones it holds.
// Returns the file written; throws ConvertError.
QStringList writeFile(const QString& file, Kind kind, bool strip, const QList<MetaField>& fields,
                      bool removeGPS, Job& job, bool fieldsRead = true);

// The self-test's rows over the samples in `samples`.
QStringList checkImageStrip(const QString& samples, Job& job);
QStringList checkImageEdit(const QString& samples, Job& job);
QStringList checkPDF(const QString& samples, Job& job);
QStringList checkAudio(const QString& samples, Job& job);
QStringList checkVideoStrip(const QString& samples, Job& job);

} // namespace MetadataWork
