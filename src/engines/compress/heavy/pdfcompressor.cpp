#include "engines/compress/heavy/pdfcompressor.h"

#include "core/checkedfile.h"
#include "core/converterror.h"
#include "core/job.h"
#include "core/scratchfolder.h"
#include "engines/compress/heavy/pagepictures.h"
#include "engines/compress/heavy/pictureextras.h"
#include "engines/compress/heavy/screenpictures.h"
#include "engines/pdf/damagedpages.h"
#include "engines/pdf/pdfengine.h"

#include <QBuffer>
#include <QFile>
#include <QImageWriter>
#include <qpdf/Pipeline.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFJob.hh>
#include <qpdf/QPDFLogger.hh>
#include <qpdf/QPDFWriter.hh>

namespace {

constexpr double pageDpi = 110;
constexpr int jpegQuality = 50;
constexpr double renderShare = 0.8;
// The levels that keep the document draw its pages to find the damaged ones in this share of the
// progress.
constexpr double checkShare = 0.5;
// The resolution pictures keep when a PDF is made for reading on screen.
constexpr double screenPpi = 150;

// qpdf's output, every write checked; qpdf's own file writer loses the failure of its last flush.
class CheckedPipeline : public Pipeline
{
  public:
    explicit CheckedPipeline(const QString& path) : Pipeline("checked file", nullptr), m_file(path) {}

    void write(unsigned char const* data, size_t length) override
    {
        if (m_file.write(reinterpret_cast<const char*>(data), qint64(length)) != qint64(length))
            m_file.finish();
    }
    void finish() override {}
    void close() { m_file.finish(); }

  private:
    CheckedFile m_file;
};

// The document kept, its images stored as JPEG where that is smaller, its streams recompressed
// and its objects packed into object streams.
void repack(const QString& source, const QString& destination)
{
    const auto file = std::make_shared<CheckedPipeline>(destination);
    auto logger = QPDFLogger::create();
    logger->setInfo(logger->discard());
    logger->setWarn(logger->discard());
    logger->setError(logger->discard());
    logger->setSave(file, false);
    try {
        QPDFJob job;
        job.setLogger(logger);
        job.config()
            ->inputFile(QFile::encodeName(source).toStdString())
            ->outputFile("-")
            ->optimizeImages()
            ->recompressFlate()
            ->compressionLevel("9")
            ->objectStreams("generate")
            ->noWarn()
            ->checkConfiguration();
        job.run();
        if (job.getExitCode() == QPDFJob::EXIT_ERROR)
            throw ConvertError::failed(QStringLiteral("Couldn’t write the PDF"));
    } catch (const ConvertError&) {
        throw;
    } catch (const std::exception& e) {
        throw ConvertError::failed(QStringLiteral("Couldn’t write the PDF"), QString::fromUtf8(e.what()));
    }
    file->close();
}

// `source` with its pictures brought down to screen resolution, written into `scratch`; the
// source itself when no picture was changed.
QString screened(const QString& source, const ScratchFolder& scratch, Job& job)
{
    const QString out = scratch.file(QStringLiteral("screen.pdf"));
    try {
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        pdf.processFile(QFile::encodeName(source).constData());
        if (ScreenPictures::downsample(pdf, screenPpi, job) == 0) return source;
        QPDFWriter writer(pdf, QFile::encodeName(out).constData());
        writer.setStreamDataMode(qpdf_s_preserve);
        writer.write();
    } catch (const ConvertError&) {
        throw;
    } catch (const std::exception& e) {
        throw ConvertError::failed(QStringLiteral("Couldn’t write the PDF"), QString::fromUtf8(e.what()));
    }
    return out;
}

QByteArray jpeg(const QImage& picture, int page)
{
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(jpegQuality);
    if (!writer.write(picture.convertToFormat(QImage::Format_RGB32)) || data.isEmpty())
        throw ConvertError::failed(QStringLiteral("Couldn’t encode page %1").arg(page + 1));
    return data;
}

// The pages of `doc` (opened from `source`) that can't be read, or not whole, noted to `job` as
// the smallest level notes them. Fails as the smallest level does when none can be read.
void checkPages(const QString& source, const Poppler::Document& doc, Job& job, const Progress& progress)
{
    DamagedPages damage(source, DamagedPages::Kind::pictures, source, doc);
    damage.drawEvery(doc, source, job, [&](double done) { progress(done * checkShare); });
    damage.report(job);
}

void pictures(const QString& source, const QString& destination, Job& job, const Progress& progress)
{
    const std::unique_ptr<Poppler::Document> document = PDFEngine::open(source);
    DamagedPages damage(source, DamagedPages::Kind::pictures, source, *document);
    const int pages = damage.count();
    // A page that can't be read is left out of the copy.
    QList<int> readable;
    for (int i = 0; i < pages; ++i)
        if (damage.page(*document, i)) readable.append(i);
    if (readable.isEmpty()) damage.report(job); // throws: no page can be read
    PictureExtras extras(source, *document);
    PagePictures out(extras.picturesFile(destination), int(readable.size()));
    for (int i : std::as_const(readable)) {
        job.throwIfCancelled();
        const std::unique_ptr<Poppler::Page> page = damage.page(*document, i);
        const QImage picture = damage.rendered(*page, i, pageDpi);
        const QSizeF points(picture.width() * 72.0 / pageDpi, picture.height() * 72.0 / pageDpi);
        out.add(jpeg(picture, i), picture.size(), points);
        progress((i + 1) * renderShare / pages);
    }
    damage.report(job);
    out.finish();
    extras.finish(destination, readable, job);
}

} // namespace

namespace Compressor {

void pdf(const QString& source, CompressLevel level, const QString& destination, Job& job,
         const Progress& progress)
{
    if (level == CompressLevel::small) {
        pictures(source, destination, job, progress);
    } else {
        // A locked or unreadable file fails with the same words everywhere, and a damaged one
        // says so as at the smallest level.
        const std::unique_ptr<Poppler::Document> document = PDFEngine::open(source);
        checkPages(source, *document, job, progress);
        job.throwIfCancelled();
        const ScratchFolder scratch;
        const QString input = level == CompressLevel::balanced ? screened(source, scratch, job) : source;
        job.throwIfCancelled();
        repack(input, destination);
    }
    progress(1);
}

} // namespace Compressor
