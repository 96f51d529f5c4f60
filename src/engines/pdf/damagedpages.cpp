#include "engines/pdf/damagedpages.h"

#include "core/converterror.h"
#include "core/job.h"
#include "engines/pdf/pagecheck.h"
#include "engines/pdf/pageworkers.h"
#include "engines/pdf/pdfengine.h"
#include "engines/pdftext/readerrors.h"

#include <QFileInfo>

namespace {

// Pages are drawn this small to learn which are damaged.
constexpr double checkDpi = 36;

// "2", "2 and 3", "2, 3 and 5": page numbers as a sentence names them.
QString numbers(const QList<int>& indexes)
{
    QStringList names;
    for (int index : indexes)
        names.append(QString::number(index + 1));
    const QString last = names.takeLast();
    return names.isEmpty() ? last : names.join(QStringLiteral(", ")) + QStringLiteral(" and ") + last;
}

QString note(const QList<int>& pages, const QString& file, const QString& one, const QString& several)
{
    if (pages.size() == 1)
        return QStringLiteral("Page %1 of %2 is damaged: %3").arg(numbers(pages), file, one);
    return QStringLiteral("Pages %1 of %2 are damaged: %3").arg(numbers(pages), file, several);
}

ConvertError none(const QString& file)
{
    return ConvertError::failed(QStringLiteral("%1 is damaged: none of its pages could be read").arg(file));
}

} // namespace

DamagedPages::DamagedPages(const QString& file, Kind kind, const QString& pdf, const Poppler::Document& doc)
    : m_file(QFileInfo(file).fileName()), m_kind(kind), m_check(std::make_unique<PageCheck>(pdf, doc))
{
    if (m_check->lost()) throw none(m_file);
    if (m_check->count() == 0) throw ConvertError::failed(QStringLiteral("%1 has no pages").arg(m_file));
}

DamagedPages::~DamagedPages() = default;

int DamagedPages::count() const
{
    return m_check->count();
}

std::optional<int> DamagedPages::shown(int index)
{
    const std::optional<int> at = m_check->shown(index);
    if (!at) addMissing(index);
    return at;
}

std::unique_ptr<Poppler::Page> DamagedPages::page(const Poppler::Document& doc, int index)
{
    const std::optional<int> at = shown(index);
    std::unique_ptr<Poppler::Page> page(at ? doc.page(*at) : nullptr);
    if (at && !page) addMissing(index);
    return page;
}

void DamagedPages::addMissing(int index)
{
    const std::lock_guard<std::mutex> guard(m_lock);
    if (!m_missing.contains(index)) m_missing.append(index);
}

bool DamagedPages::isMissing(int index) const
{
    const std::lock_guard<std::mutex> guard(m_lock);
    return m_missing.contains(index);
}

void DamagedPages::drawEvery(const Poppler::Document& doc, const QString& pdf, Job& job,
                             const Progress& progress)
{
    std::mutex lock; // serialises the progress reports
    int drawn = 0;
    PDFEngine::eachPage(doc, pdf, count(), job, [&](const Poppler::Document& own, int i) {
        if (const std::unique_ptr<Poppler::Page> page = this->page(own, i)) rendered(*page, i, checkDpi);
        const std::lock_guard<std::mutex> guard(lock);
        progress(double(++drawn) / count());
    });
}

bool DamagedPages::drawsDamage(int index)
{
    const std::lock_guard<std::mutex> guard(m_checkLock);
    return m_check->drawsDamage(index);
}

QImage DamagedPages::rendered(const Poppler::Page& page, int index, double dpi)
{
    const PDFEngine::ReadErrors errors;
    QImage image = PDFEngine::render(page, dpi);
    if (errors.count() > 0 || drawsDamage(index)) add(index, blank(image));
    return image;
}

void DamagedPages::add(int index, bool empty)
{
    const std::lock_guard<std::mutex> guard(m_lock);
    m_pages.insert(index, empty);
}

void DamagedPages::report(Job& job) const
{
    const std::lock_guard<std::mutex> guard(m_lock);
    QList<int> empty, partial;
    for (auto it = m_pages.cbegin(); it != m_pages.cend(); ++it)
        (it.value() ? empty : partial).append(it.key());
    if (count() > 0 && empty.size() + m_missing.size() >= count()) throw none(m_file);
    QList<int> missing = m_missing;
    std::sort(missing.begin(), missing.end());
    if (!missing.isEmpty())
        job.addNote(note(missing, m_file, QStringLiteral("it could not be read"),
                         QStringLiteral("they could not be read")));
    const bool pictures = m_kind == Kind::pictures;
    if (!empty.isEmpty())
        job.addNote(pictures ? note(empty, m_file, QStringLiteral("it came out blank"),
                                    QStringLiteral("they came out blank"))
                             : note(empty, m_file, QStringLiteral("no text could be read from it"),
                                    QStringLiteral("no text could be read from them")));
    if (!partial.isEmpty())
        job.addNote(pictures ? note(partial, m_file, QStringLiteral("part of it may be missing"),
                                    QStringLiteral("parts of them may be missing"))
                             : note(partial, m_file, QStringLiteral("some of its text may be missing"),
                                    QStringLiteral("some of their text may be missing")));
}

bool DamagedPages::blank(const QImage& image)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x)
            if (qRed(line[x]) != 255 || qGreen(line[x]) != 255 || qBlue(line[x]) != 255) return false;
    }
    return true;
}
