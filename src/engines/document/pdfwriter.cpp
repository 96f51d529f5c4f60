#include "engines/document/pdfwriter.h"

#include "core/checkedfile.h"
#include "core/converterror.h"
#include "core/job.h"
#include "engines/document/pictures.h"

#include <QAbstractTextDocumentLayout>
#include <QImage>
#include <QLocale>
#include <QPainter>
#include <QPdfWriter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextLayout>
#include <cmath>
#include <limits>
#include <optional>

namespace {

constexpr double margin = 64;
// Documents are laid out in CSS pixels, the unit their HTML sizes are given in.
constexpr double layoutDPI = 96;
constexpr double pixelsPerPoint = layoutDPI / 72;

// Gives the document's layout a device of exactly 96 dpi while it lives, whatever the screen.
class LayoutDevice
{
  public:
    explicit LayoutDevice(QTextDocument& document)
        : m_document(document), m_device(1, 1, QImage::Format_RGB32)
    {
        const int dotsPerMeter = qRound(layoutDPI / 0.0254);
        m_device.setDotsPerMeterX(dotsPerMeter);
        m_device.setDotsPerMeterY(dotsPerMeter);
        m_document.documentLayout()->setPaintDevice(&m_device);
    }
    ~LayoutDevice() { m_document.documentLayout()->setPaintDevice(nullptr); }
    LayoutDevice(const LayoutDevice&) = delete;
    LayoutDevice& operator=(const LayoutDevice&) = delete;

  private:
    QTextDocument& m_document;
    QImage m_device;
};

// Pictures wider than the text are shown at its width, their height following: the layout
// would otherwise let them run past the page's edge.
void fitPictures(QTextDocument& document, double width)
{
    QList<std::pair<QTextFragment, QTextImageFormat>> narrowed;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            QTextImageFormat format = it.fragment().charFormat().toImageFormat();
            const auto own = format.isValid() ? Doc::pictureSize(document, format.name()) : std::nullopt;
            if (!own) continue;
            const QSizeF shown = Doc::shownSize(format, *own, width);
            if (shown.width() >=
                Doc::shownSize(format, *own, std::numeric_limits<double>::infinity()).width())
                continue;
            format.setWidth(shown.width());
            format.setHeight(shown.height());
            narrowed.append({it.fragment(), format});
        }
    QTextCursor cursor(&document);
    for (const auto& [fragment, format] : narrowed) {
        cursor.setPosition(fragment.position());
        cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
        cursor.setCharFormat(format);
    }
}

// The first paragraph on the page when it began on an earlier one, with the lines it has
// there: Qt's layout draws such a paragraph from its last line before the page (clipped away
// from sight, but its text stays in the PDF, where it is found and copied twice).
struct Continued
{
    QTextBlock block;
    int firstLine = 0;
};

// `from` walks the document's top-level paragraphs page by page, past those above the page.
std::optional<Continued> continuedOn(QTextDocument& document, const QRectF& clip, QTextFrame::iterator& from)
{
    QAbstractTextDocumentLayout* layout = document.documentLayout();
    for (; !from.atEnd(); ++from) {
        const QTextBlock block = from.currentBlock();
        if (!block.isValid()) continue;
        if (layout->blockBoundingRect(block).bottom() < clip.top()) continue;
        const QTextLayout* lines = block.layout();
        // A line of the page before lies above this page's top (the clip's, less its hair) by
        // more than half its height; the page's own first line may start a little above it.
        int first = 0;
        while (lines && first < lines->lineCount() &&
               lines->position().y() + lines->lineAt(first).rect().center().y() < clip.top() - 0.5)
            ++first;
        if (first == 0) return std::nullopt;
        return Continued{block, first};
    }
    return std::nullopt;
}

void drawPage(QPainter& painter, QTextDocument& document, int index, double scale, QTextFrame::iterator& from)
{
    const QSizeF area = document.pageSize();
    const QRectF clip(QPointF(0, index * area.height()), area);
    painter.save();
    painter.scale(scale, scale);
    painter.translate(margin * pixelsPerPoint, margin * pixelsPerPoint - clip.top());
    painter.setClipRect(clip);
    QAbstractTextDocumentLayout::PaintContext context;
    // The layout draws every line that touches the clip, so a line starting right at the page's
    // end would be drawn here too (cut off, but its text in the page); a hair less excludes it.
    context.clip = clip.adjusted(0, 0.5, 0, -0.5);
    context.palette.setColor(QPalette::Text, Qt::black);
    if (const std::optional<Continued> continued = continuedOn(document, context.clip, from)) {
        const QTextLayout* lines = continued->block.layout();
        painter.setPen(Qt::black);
        for (int i = continued->firstLine; i < lines->lineCount(); ++i) {
            const QTextLine line = lines->lineAt(i);
            if (lines->position().y() + line.y() > context.clip.bottom()) break;
            line.draw(&painter, lines->position());
        }
        // The layout draws from below that paragraph on.
        context.clip.setTop(document.documentLayout()->blockBoundingRect(continued->block).bottom() + 0.01);
    }
    if (context.clip.height() > 0) document.documentLayout()->draw(&painter, context);
    painter.restore();
}

} // namespace

namespace Doc {

QSizeF pageSize()
{
    switch (QLocale().territory()) {
    case QLocale::UnitedStates:
    case QLocale::Canada:
    case QLocale::Mexico:
    case QLocale::Philippines:
    case QLocale::AnyTerritory:
        return {612, 792};
    default:
        return {595, 842};
    }
}

void writePDF(QTextDocument& document, const QString& path, const std::optional<QString>& title, Job* job)
{
    const QSizeF page = pageSize();
    const LayoutDevice device(document);
    document.setUseDesignMetrics(true);
    document.setDocumentMargin(0);
    // The layout places its pages in 64ths of a pixel: a text area of another height would see
    // them drift from the pages drawn here, by half a line after a hundred pages.
    const QSizeF area(((page.width() - 2 * margin) * pixelsPerPoint),
                      std::floor((page.height() - 2 * margin) * pixelsPerPoint * 64) / 64);
    fitPictures(document, area.width());
    document.setPageSize(area);
    const int pages = document.pageCount();
    if (pages > maxPDFPages)
        throw ConvertError::failed(
            QStringLiteral("This document is too long to convert (more than 5,001 pages)"));

    CheckedFile file(path);
    QPdfWriter writer(&file);
    writer.setCreator(QStringLiteral("Tolvane"));
    if (title) writer.setTitle(*title);
    writer.setPageSize(QPageSize(page, QPageSize::Point));
    writer.setPageMargins(QMarginsF());
    QPainter painter;
    if (!painter.begin(&writer)) throw ConvertError::failed(QStringLiteral("Couldn’t create the PDF"));
    const double scale = writer.resolution() / layoutDPI;
    QTextFrame::iterator from = document.rootFrame()->begin();
    for (int i = 0; i < pages; ++i) {
        if (job) job->throwIfCancelled();
        if (i > 0) writer.newPage();
        drawPage(painter, document, i, scale, from);
    }
    if (!painter.end()) throw ConvertError::failed(QStringLiteral("Couldn’t create the PDF"));
    file.finish();
}

} // namespace Doc
