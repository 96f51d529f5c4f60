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

// Writes "<base> No Metadata.<ext>" (strip) or "<base> Tagged.<ext>" (edit, with `changed`, the
// fields the user changed) for `file`, numbered while the name is taken, beside it or in the
// output folder, with the file's extension in lower case. `kind` is the first file's. Returns
// the file written; throws ConvertError.
QStringList writeFile(const QString& file, Kind kind, bool strip, const QList<MetaField>& changed,
                      bool removeGPS, Job& job);

// The self-test's rows over the samples in `samples`.
QStringList checkImageStrip(const QString& samples, Job& job);
QStringList checkImageEdit(const QString& samples, Job& job);
QStringList checkPDF(const QString& samples, Job& job);
QStringList checkAudio(const QString& samples, Job& job);
QStringList checkVideoStrip(const QString& samples, Job& job);

} // namespace MetadataWork
