#pragma once

#include "core/progress.h"
#include "core/redactstyle.h"
#include "tools/image/redact/redactor.h"

#include <QList>
#include <QRectF>
#include <QStringList>

class Job;

// The Redact Photo tool's work on one file, on a worker thread.
namespace RedactImage {

// Covers `boxes` (unit space, the same fractions for every file) of the picture in `file` in
// `style` and saves it as "<base> Redacted.<format>" beside it or in the output folder, in the
// picture's own format where the image engine writes it (else PNG), upright and with none of
// its properties: nothing in the copy tells where, when or with what the original was taken.
// Returns the path written; throws ConvertError ("Couldn’t render" when a box can't be
// covered), leaving nothing behind.
QStringList redactFile(const QString& file, const QList<QRectF>& boxes, RedactStyle style, Job& job,
                       const Progress& progress, const Redactor::Cover& cover = Redactor::cover);

// The self-test's redaction: the lines of text found on photo.jpg in `samples`, pixelated.
QStringList selfCheck(const QString& samples, Job& job);

} // namespace RedactImage
