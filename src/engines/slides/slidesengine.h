#pragma once

#include "core/progress.h"

#include <QString>
#include <QStringList>
#include <functional>

class Job;

// Converts slide decks (ppt, pptx, key) through the office bridge: to PDF and PPTX directly, to
// JPEG and PNG page images by way of a temporary PDF.
namespace SlidesEngine {

// The resolution of slide images.
inline constexpr double imageDPI = 150;

// Converts the deck into `to` ("pdf", "pptx", "jpg" or "png") and returns what was written: one
// file, or for images one file per slide (a folder for several). Other targets are refused before
// any program starts.
QStringList convert(const QString& source, const QString& to, Job& job, const Progress& progress);

} // namespace SlidesEngine
