#include "engines/pdftext/wordtext.h"

#include "engines/pdftext/bidiorder.h"

#include <QFile>
#include <poppler/cpp/poppler-document.h>
#include <poppler/cpp/poppler-page.h>

#include <vector>

namespace {

// A word with its place along its line and across it, whichever way the page turns its text.
struct Word
{
    QString text;
    double size = 0;
    bool bold = false;
    bool spaceAfter = false;
    double along = 0, alongEnd = 0, across = 0, acrossEnd = 0;
};

Word word(const poppler::text_box& box)
{
    const poppler::rectf r = box.bbox();
    const std::vector<char> utf8 = box.text().to_utf8();
    Word w{QString::fromUtf8(utf8.data(), qsizetype(utf8.size())), box.get_font_size(),
           PDFEngine::isBoldFont(QString::fromStdString(box.get_font_name(0))), box.has_space_after()};
    const bool upright = box.rotation() % 2 == 0;
    const double start = upright ? r.left() : r.top(), end = upright ? r.right() : r.bottom();
    const bool backwards = box.rotation() == 2 || box.rotation() == 3;
    w.along = backwards ? -end : start;
    w.alongEnd = backwards ? -start : end;
    w.across = upright ? r.top() : r.left();
    w.acrossEnd = upright ? r.bottom() : r.right();
    return w;
}

// Poppler lists a line's words one after another from its start; a word that goes back along
// the line, or stands beside it, starts the next one.
bool startsLine(const Word& previous, const Word& w)
{
    const double middle = (w.across + w.acrossEnd) / 2;
    return w.along < previous.along || middle < previous.across || middle > previous.acrossEnd;
}

// Words stand apart where Poppler saw a space, or a gap of a third of the line's height.
bool apart(const Word& previous, const Word& w)
{
    return previous.spaceAfter || w.along - previous.alongEnd > (previous.acrossEnd - previous.across) / 3;
}

} // namespace

namespace PDFEngine {

std::unique_ptr<WordText> WordText::open(const QString& path)
{
    std::unique_ptr<poppler::document> doc(
        poppler::document::load_from_file(QFile::encodeName(path).toStdString()));
    if (!doc || doc->is_locked()) return nullptr;
    return std::unique_ptr<WordText>(new WordText(std::move(doc)));
}

WordText::WordText(std::unique_ptr<poppler::document> doc) : m_doc(std::move(doc)) {}

WordText::~WordText() = default;

std::optional<PageText> WordText::page(int index) const
{
    if (index < 0 || index >= m_doc->pages()) return std::nullopt;
    const std::unique_ptr<poppler::page> page(m_doc->create_page(index));
    if (!page) return std::nullopt;
    std::vector<Word> words;
    for (const poppler::text_box& box : page->text_list(poppler::page::text_list_include_font))
        words.push_back(word(box));

    PageText result;
    std::vector<PDFText::PlacedChar> line; // tagged with the word's index
    const auto endLine = [&] {
        PDFText::toReadingOrder(line);
        if (!result.text.isEmpty()) result.text += QLatin1Char('\n');
        int last = -1;
        for (const PDFText::PlacedChar& placed : line) {
            const qsizetype at = result.text.size();
            result.text += QString::fromUcs4(&placed.c, 1);
            if (placed.tag < 0) continue;
            const Word& w = words[size_t(placed.tag)];
            if (placed.tag == last && result.runs.last().end == at)
                result.runs.last().end = result.text.size();
            else
                result.runs.append({at, result.text.size(), w.size, w.bold});
            last = placed.tag;
        }
        line.clear();
    };
    for (size_t i = 0; i < words.size(); ++i) {
        if (i > 0 && startsLine(words[i - 1], words[i]))
            endLine();
        else if (i > 0 && apart(words[i - 1], words[i]))
            line.push_back({U' ', -1});
        for (const char32_t c : words[i].text.toUcs4())
            line.push_back({c, int(i)});
    }
    if (!words.empty()) endLine();
    return result;
}

} // namespace PDFEngine
