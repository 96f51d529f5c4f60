#include "engines/pdftext/textlayer.h"

#include "core/converterror.h"
#include "engines/pdftext/bidiorder.h"
#include "engines/pdftext/readerrors.h"
#include "engines/pdftext/wordtext.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <vector>

// glib's headers use Qt's keyword macros as member names.
#pragma push_macro("signals")
#undef signals
#include <poppler.h>
#pragma pop_macro("signals")

namespace {

bool isBlankOrBreak(char32_t c)
{
    return c == U' ' || c == U'\t' || c == U'\n' || c == U'\r' || c == 0xA0;
}

// Two glyph boxes with more than a third of a line's height between them (in any direction, so
// that turned pages read alike) belong to different words.
bool apart(const PopplerRectangle& a, const PopplerRectangle& b)
{
    const auto gap = [](double a1, double a2, double b1, double b2) {
        return std::max(0.0, std::max(std::min(a1, a2), std::min(b1, b2)) -
                                 std::min(std::max(a1, a2), std::max(b1, b2)));
    };
    const double em = std::max(
        {std::abs(a.x2 - a.x1), std::abs(a.y2 - a.y1), std::abs(b.x2 - b.x1), std::abs(b.y2 - b.y1)});
    return std::max(gap(a.x1, a.x2, b.x1, b.x2), gap(a.y1, a.y2, b.y1, b.y2)) > em / 3;
}

void append(QString& out, char32_t c)
{
    if (QChar::requiresSurrogates(c)) {
        out += QChar(QChar::highSurrogate(c));
        out += QChar(QChar::lowSurrogate(c));
    } else {
        out += QChar(char16_t(c));
    }
}

struct Layout
{
    PopplerRectangle* boxes = nullptr;
    guint count = 0;
    ~Layout() { g_free(boxes); }
};

} // namespace

namespace PDFEngine {

struct TextLayer::Impl
{
    PopplerDocument* doc = nullptr;
    QString path;
    // Opened when a page first holds right-to-left text.
    mutable std::unique_ptr<WordText> words;
    mutable bool wordsOpened = false;
    ~Impl()
    {
        if (doc) g_object_unref(doc);
    }

    // The page's text with a space put between words that touch in the reading order but not on
    // the page; `offsets` receives each code point's UTF-16 offset in the result (and the end).
    QString text(PopplerPage* page, std::vector<qsizetype>& offsets) const
    {
        gchar* raw = poppler_page_get_text(page);
        const QList<uint> points = QString::fromUtf8(raw).toUcs4();
        g_free(raw);
        Layout layout;
        poppler_page_get_text_layout(page, &layout.boxes, &layout.count);
        const bool boxed = layout.count == guint(points.size());

        QString out;
        out.reserve(points.size() + points.size() / 16);
        offsets.clear();
        offsets.reserve(size_t(points.size()) + 1);
        for (qsizetype i = 0; i < points.size(); ++i) {
            const char32_t c = points[i];
            if (boxed && i > 0 && !isBlankOrBreak(c) && !isBlankOrBreak(points[i - 1]) &&
                apart(layout.boxes[i - 1], layout.boxes[i]))
                out += QLatin1Char(' ');
            offsets.push_back(out.size());
            append(out, c);
        }
        offsets.push_back(out.size());
        return out;
    }

    // Page `index` rebuilt from its words, when `text` (as the selection reads it) holds
    // right-to-left script, whose lines the selection loses or turns round.
    std::optional<PageText> fromWords(int index, const QString& text) const
    {
        if (!PDFText::hasRightToLeft(text)) return std::nullopt;
        if (!wordsOpened) words = WordText::open(path);
        wordsOpened = true;
        return words ? words->page(index) : std::nullopt;
    }
};

TextLayer::TextLayer(const QString& path) : d(std::make_unique<Impl>())
{
    d->path = path;
    const QByteArray file = QFile::encodeName(QFileInfo(path).absoluteFilePath());
    gchar* uri = g_filename_to_uri(file.constData(), nullptr, nullptr);
    GError* error = nullptr;
    ReadErrors::hookGlib();
    if (uri) d->doc = poppler_document_new_from_file(uri, nullptr, &error);
    g_free(uri);
    const bool locked = error && error->domain == POPPLER_ERROR && error->code == POPPLER_ERROR_ENCRYPTED;
    if (error) g_error_free(error);
    const QString name = QFileInfo(path).fileName();
    if (locked) throw ConvertError::failed(QStringLiteral("%1 is password-protected").arg(name));
    if (!d->doc) throw ConvertError::failed(QStringLiteral("Couldn’t open %1").arg(name));
    // Poppler finds its pages as they are first asked for: the whole page tree is walked now,
    // so that what it says of a damaged tree is not laid at the door of the page read after.
    if (const int count = pageCount(); count > 0)
        if (PopplerPage* last = poppler_document_get_page(d->doc, count - 1)) g_object_unref(last);
}

TextLayer::~TextLayer() = default;

int TextLayer::pageCount() const
{
    return poppler_document_get_n_pages(d->doc);
}

std::optional<PageText> TextLayer::page(int index) const
{
    if (index < 0 || index >= pageCount()) return std::nullopt;
    PopplerPage* page = poppler_document_get_page(d->doc, index);
    if (!page) return std::nullopt;
    std::vector<qsizetype> offsets;
    PageText result{d->text(page, offsets), {}};
    if (std::optional<PageText> read = d->fromWords(index, result.text)) {
        g_object_unref(page);
        return read;
    }
    const qsizetype points = qsizetype(offsets.size()) - 1;
    GList* attributes = poppler_page_get_text_attributes(page);
    for (GList* it = attributes; it; it = it->next) {
        const auto* a = static_cast<const PopplerTextAttributes*>(it->data);
        // The end index is the run's last character, not one past it.
        const qsizetype first = std::clamp<qsizetype>(a->start_index, 0, points);
        const qsizetype last = std::clamp<qsizetype>(a->end_index + 1, first, points);
        if (last > first)
            result.runs.append({offsets[size_t(first)], offsets[size_t(last)], a->font_size,
                                a->font_name && isBoldFont(QString::fromUtf8(a->font_name))});
    }
    poppler_page_free_text_attributes(attributes);
    g_object_unref(page);
    return result;
}

QString TextLayer::text(int index) const
{
    if (index < 0 || index >= pageCount()) return {};
    PopplerPage* page = poppler_document_get_page(d->doc, index);
    if (!page) return {};
    std::vector<qsizetype> offsets;
    const QString text = d->text(page, offsets);
    g_object_unref(page);
    if (std::optional<PageText> read = d->fromWords(index, text)) return read->text;
    return text;
}

bool isBoldFont(const QString& name)
{
    // A subset font's name starts with six capitals and a plus sign.
    QString base = name;
    if (base.size() > 7 && base.at(6) == QLatin1Char('+') &&
        std::all_of(base.begin(), base.begin() + 6, [](QChar c) { return c >= u'A' && c <= u'Z'; }))
        base = base.mid(7);
    base = base.toLower();
    return base.contains(QLatin1String("bold")) || base.contains(QLatin1String("black")) ||
           base.contains(QLatin1String("heavy"));
}

} // namespace PDFEngine
