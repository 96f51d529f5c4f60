#include "engines/pdftext/readerrors.h"

#include <QRegularExpression>
#include <QString>
#include <mutex>

// glib's headers use Qt's keyword macros as member names.
#pragma push_macro("signals")
#undef signals
#include <glib.h>
#pragma pop_macro("signals")

namespace {

thread_local quint64 complaints = 0;

} // namespace

namespace PDFEngine {

ReadErrors::ReadErrors() : m_start(complaints) {}

quint64 ReadErrors::count() const
{
    return complaints - m_start;
}

void ReadErrors::add(QStringView message)
{
    if (losesContent(message)) ++complaints;
}

bool ReadErrors::losesContent(QStringView message)
{
    // Poppler's words for what it fails to read of a page: streams and their filters, the syntax
    // of a content stream, its operators and their operands, paths and forms, objects and the
    // page tree, fonts and their encodings, pictures, and the colour spaces, shadings, patterns
    // and functions of a drawing.
    static const QRegularExpression content(
        QStringLiteral("stream|filter|decod|flate|lzw|ccitt|jbig2|jpx|jpeg|dct|huffman|ascii85|asciihex|"
                       "end of file|\\beof\\b|hex string|formatted number|illegal character|token|"
                       "operator|\\bargs?\\b|argument|inline image|page contents|show/space|current point|"
                       "\\bpath\\b|bounding box|matrix|xref|object|trailer|catalog|page tree|pages tree|"
                       "page count|create page|single page|\\bkids?\\b|unknown|wrong type|not found|missing|"
                       "font|glyph|cmap|tounicode|encoding|image|bitmap|\\bmask|component|colou?r ?space|"
                       "shading|pattern|function"),
        QRegularExpression::CaseInsensitiveOption);
    // What lies over the page or beside it, which the page's drawing never needs.
    static const QRegularExpression aside(
        QStringLiteral(
            "annot|appearance|\\bfields?\\b|widget|marked|markinfo|suspects|\\bstruct|hint|"
            "lineariz|outline|destination|\\blinks?\\b|signature|byterange|page ?label|viewer ?pref|"
            "metadata|font (weight|stretch)|javascript|embedded file|file ?spec|optional content|"
            "rendition|movie|sound"),
        QRegularExpression::CaseInsensitiveOption);
    const QString text = message.toString();
    return text.contains(content) && !text.contains(aside);
}

void ReadErrors::hookGlib()
{
    static std::once_flag once;
    // The GLib front end logs each complaint in its own domain, on the thread that met it.
    std::call_once(once, [] {
        g_log_set_handler(
            "Poppler", G_LOG_LEVEL_INFO,
            [](const gchar*, GLogLevelFlags, const gchar* message, gpointer) {
                ReadErrors::add(QString::fromUtf8(message));
            },
            nullptr);
    });
}

} // namespace PDFEngine
