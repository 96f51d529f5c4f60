#pragma once

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
QStringList convert(const QString& source, const QString& to, Job& job,
                    const std::function<void(double)>& progress);

// Writes the pages of the PDF `pdf` as `format` images at `dpi`, named after `source` in its
// output folder, and returns them (one file for one page, else a folder).
using PageImagesWriter =
    std::function<QStringList(const QString& pdf, const QString& source, const QString& format, double dpi,
                              Job& job, const std::function<void(double)>& progress)>;

// The page-image writer slide images are made with. While it is empty, image targets are refused
// with ConvertError::unsupported before any program starts.
extern const PageImagesWriter pageImagesWriter;

} // namespace SlidesEngine
