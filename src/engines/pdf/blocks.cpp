#include "engines/pdf/blocks.h"

#include "core/job.h"
#include "engines/pdf/pdfengine.h"
#include "engines/pdftext/pdftext.h"
#include "engines/text/regex.h"

#include <cmath>
#include <map>

namespace PDFEngine {

namespace {

const QString bulletPattern = QStringLiteral("^[•◦▪●‣∙·\\-–*]\\s+(.*)$");

// A short line ending in one of these closes its paragraph.
const QString sentenceEnds = QStringLiteral(".:!?\"”)");

// Runs without a font are counted at this size.
constexpr int unknownSize = 12;

int wholePoints(double size)
{
    return int(std::lround(size));
}

struct LineFont
{
    int size = 0;
    bool bold = false;
};

// Cuts the pages' lines into blocks, one page at a time.
class Cutter
{
  public:
    explicit Cutter(double body) : m_body(body) {}

    void page(const PageEntry& entry)
    {
        const QStringList lines = PDFText::lines(entry.text);
        qsizetype maxLen = 0;
        for (const QString& line : lines)
            maxLen = std::max(maxLen, PDFText::characterCount(PDFText::trimmed(line)));
        const qsizetype shortLine = qsizetype(double(maxLen) * 0.6);
        m_buffer.clear();
        qsizetype offset = 0;
        for (const QString& line : lines) {
            this->line(PDFText::trimmed(line), fontAt(entry, offset), maxLen, shortLine);
            offset += line.size() + 1;
        }
        flush();
    }

    QList<Block> result() const { return m_blocks; }
    void pageBreak() { m_blocks.append(Block::pageBreak()); }

  private:
    LineFont fontAt(const PageEntry& entry, qsizetype offset) const
    {
        if (entry.runs && offset < entry.text.size()) {
            for (const FontRun& run : *entry.runs)
                if (run.start <= offset && offset < run.end) return {wholePoints(run.size), run.bold};
        }
        return {wholePoints(m_body), false};
    }

    void line(const QString& t, LineFont font, qsizetype maxLen, qsizetype shortLine)
    {
        if (t.isEmpty()) return flush();
        const qsizetype length = PDFText::characterCount(t);
        const bool large = length < 120 && font.size >= m_body * 1.15;
        const bool boldTitle = font.bold && length <= 69 && font.size >= m_body && m_buffer.isEmpty() &&
                               !t.endsWith(QLatin1Char('.'));
        if (large || boldTitle) {
            flush();
            const int level = font.size >= m_body * 1.6 ? 1 : font.size >= m_body * 1.3 ? 2 : 3;
            m_blocks.append(Block::heading(level, t));
        } else if (const auto groups = Regex::groups(t, bulletPattern)) {
            flush();
            m_blocks.append(Block::bullet(groups->at(1)));
        } else {
            if (m_buffer.endsWith(QLatin1Char('-')))
                m_buffer.chop(1); // a word hyphenated at the line's end
            else if (!m_buffer.isEmpty())
                m_buffer += QLatin1Char(' ');
            m_buffer += t;
            if (maxLen >= 1 && length < shortLine && sentenceEnds.contains(t.back())) flush();
        }
    }

    void flush()
    {
        const QString text = PDFText::trimmed(m_buffer);
        if (!text.isEmpty()) m_blocks.append(Block::paragraph(text));
        m_buffer.clear();
    }

    const double m_body;
    QList<Block> m_blocks;
    QString m_buffer;
};

} // namespace

QList<Block> blocks(const QString& source, const Poppler::Document& doc, const TextLayer& layer, Job& job,
                    const Progress& progress)
{
    // Fonts come with text from the layer; recognised text has none.
    QMap<int, std::optional<QList<FontRun>>> fonts;
    const auto layerText = [&](PageIndex p) {
        std::optional<PageText> read = layer.page(p.shown);
        if (read && PDFText::hasText(read->text)) fonts.insert(p.page, read->runs);
        return read ? read->text : QString();
    };
    const QMap<int, QString> texts =
        PDFEngine::texts(source, doc, layerText, job, [&](double done) { progress(done * 0.5); });
    QList<PageEntry> pages;
    for (auto it = texts.cbegin(); it != texts.cend(); ++it)
        pages.append({it.value(), fonts.value(it.key())});
    return blocks(pages);
}

QList<Block> blocks(const QList<PageEntry>& pages)
{
    Cutter cutter(bodySize(pages));
    for (qsizetype j = 0; j < pages.size(); ++j) {
        if (j > 0) cutter.pageBreak();
        cutter.page(pages[j]);
    }
    return cutter.result();
}

double bodySize(const QList<PageEntry>& pages)
{
    std::map<int, qint64> histogram; // whole points → UTF-16 units set in that size
    for (const PageEntry& page : pages) {
        if (!page.runs) continue;
        qsizetype covered = 0;
        for (const FontRun& run : *page.runs) {
            if (run.start > covered) histogram[unknownSize] += run.start - covered;
            const qsizetype from = std::max(run.start, covered);
            if (run.end > from) histogram[wholePoints(run.size)] += run.end - from;
            covered = std::max(covered, run.end);
        }
        if (page.text.size() > covered) histogram[unknownSize] += page.text.size() - covered;
    }
    int body = unknownSize;
    qint64 most = 0;
    for (const auto& [size, count] : histogram) {
        if (count > most) {
            body = size;
            most = count;
        }
    }
    return body;
}

} // namespace PDFEngine
