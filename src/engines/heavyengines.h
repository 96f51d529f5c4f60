#pragma once

#include "core/filecategory.h"
#include "core/modules.h"
#include "core/progress.h"
#include "core/toolid.h"
#include "engines/compress/compresssettings.h"
#include "engines/metadata/metafield.h"
#include "engines/pagechoice.h"

#include <QByteArray>
#include <QPointF>
#include <QSize>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class ImageProps;
class Job;
class QCoreApplication;
class QImage;
namespace InstantTools {
struct Tool;
}

// The engine families with heavy libraries (images and their codecs, recognition, PDF,
// documents, slides, spreadsheets) as one shared module, loaded when a conversion first needs it.
struct HeavyEngines
{
    static constexpr Modules::Module module = Modules::Module::engines;

    // Converter::convert for the categories the module holds.
    QStringList (*convert)(FileCategory category, const QString& source, const QString& target, Job& job,
                           const Progress& progress);
    // A QGuiApplication, for work that lays out or paints text.
    QCoreApplication* (*makeGuiApplication)(int& argc, char** argv);

    // The GUI reaches the heavy families only through these, so that the tray at rest holds none
    // of their libraries. Each is an engine function under a name of its own, or a thin wrapper
    // over one; the comments here and the initialiser in engines/heavy/heavyentries.cpp say which.
    QImage (*loadImage)(const QString& path); // ImageEngine::load's upright image
    // The same with, in `carried`, what a re-encoded copy keeps of its properties. They are made
    // and freed inside the module: outside it they are only handed back to it.
    QImage (*loadImageForCopy)(const QString& path, std::shared_ptr<const ImageProps>& carried);
    std::optional<QString> (*imageUti)(const QString& format); // ImageEngine::uti
    // ImageEngine::write.
    void (*writeImage)(QImage image, const QString& path, const QString& format, const ImageProps& props,
                       std::optional<double> quality, double dpi);
    // writeImage for a picture of the tools' own making, which has no properties to carry.
    void (*writeNewImage)(QImage image, const QString& path, const QString& format, double dpi);
    QByteArray (*confinedSvg)(const QByteArray& svg); // Svg::confined
    // The first page of a PDF with its longer side `size` pixels; null when it cannot be read.
    QImage (*pdfFirstPage)(const QString& path, int size);
    QImage (*videoFrame)(const QString& path, double seconds, double maxSize); // Media::frame
    // The picture of the image file `path`, upright and scaled down (never up) to just cover
    // width × height, written as the new PNG file `png` without properties. Throws ConvertError.
    void (*coverPng)(const QString& path, const QString& png, int width, int height);
    // InstantTools::find, work and run; find gives null for a tool that needs its window.
    const InstantTools::Tool* (*instantTool)(ToolID tool);
    QStringList (*instantWork)(const InstantTools::Tool& tool, const QStringList& files, Job& job,
                               const Progress& progress);
    bool (*runInstant)(ToolID tool, const QStringList& files, std::optional<QPointF> at);
    // PDFPages: page counts, page pictures, and the organize and merge writers.
    int (*pdfPageCount)(const QString& path);
    void (*pdfThumbnails)(const QString& path, QSize box,
                          const std::function<bool(int page, const QImage& picture)>& each);
    QStringList (*organizePDF)(const QString& source, const std::vector<PageChoice>& pages, Job& job,
                               const Progress& progress);
    QStringList (*mergePDFs)(const QStringList& files, Job& job, const Progress& progress);
    // Compressor::image and Compressor::pdf.
    ImageCompressResult (*compressImage)(const QString& source, const ImageCompressSettings& settings,
                                         const QString& destination, const std::function<bool()>& stopped);
    void (*compressPDF)(const QString& source, CompressLevel level, const QString& destination, Job& job,
                        const Progress& progress);
    // MetadataEngine's readers and writers of images and PDFs.
    ImageFields (*imageFields)(const QString& path);
    // Returns notes on a photo that had to be encoded again.
    QStringList (*writeImageTags)(const QString& source, const QString& destination,
                                  const QList<MetaField>& fields, bool strip, bool removeGPS);
    QList<MetaField> (*pdfFields)(const QString& path, bool* read);
    // Returns notes on attached files that keep their own metadata.
    QStringList (*writePDFTags)(const QString& source, const QString& destination,
                                const QList<MetaField>& fields, bool strip);
};

namespace Converter {

// True when converting a file of this category into `target` runs in the heavy module from the
// start: a PDF's text goes there only when a page has none.
bool isHeavy(FileCategory category, const QString& target);

} // namespace Converter
