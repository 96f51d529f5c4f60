#include "core/textencoding.h"

#include "core/converterror.h"

#include <QStringDecoder>
#include <algorithm>
#include <dlfcn.h>
#include <iterator>
#include <optional>
#include <uchardet/uchardet.h>

namespace {

// The detector's functions, opened on the first text that is neither marked nor UTF-8, so that
// commands reading none never load it.
struct Detector
{
    decltype(&uchardet_new) create;
    decltype(&uchardet_delete) destroy;
    decltype(&uchardet_handle_data) handleData;
    decltype(&uchardet_data_end) dataEnd;
    decltype(&uchardet_get_charset) charset;

    static const Detector& get();
};

constexpr char detectorFile[] = "libuchardet.so.0";

Detector loadDetector()
{
    const auto failure = [](const QString& reason) {
        return ConvertError::failed(QStringLiteral("Tolvane can’t load %1").arg(QLatin1String(detectorFile)),
                                    reason);
    };
    void* library = ::dlopen(detectorFile, RTLD_LAZY | RTLD_LOCAL);
    if (!library) throw failure(QString::fromLocal8Bit(::dlerror()));
    QString missing;
    const auto find = [&](const char* name) {
        void* address = ::dlsym(library, name);
        if (!address && missing.isEmpty()) missing = QString::fromLatin1(name);
        return address;
    };
    const Detector detector{
        .create = reinterpret_cast<decltype(&uchardet_new)>(find("uchardet_new")),
        .destroy = reinterpret_cast<decltype(&uchardet_delete)>(find("uchardet_delete")),
        .handleData = reinterpret_cast<decltype(&uchardet_handle_data)>(find("uchardet_handle_data")),
        .dataEnd = reinterpret_cast<decltype(&uchardet_data_end)>(find("uchardet_data_end")),
        .charset = reinterpret_cast<decltype(&uchardet_get_charset)>(find("uchardet_get_charset")),
    };
    if (!missing.isEmpty()) throw failure(QStringLiteral("it has no %1").arg(missing));
    return detector;
}

const Detector& Detector::get()
{
    static const Detector detector = loadDetector();
    return detector;
}

QByteArray detectorGuess(const QByteArray& bytes)
{
    const Detector& d = Detector::get();
    const uchardet_t detector = d.create();
    if (!detector) return {};
    QByteArray charset;
    if (d.handleData(detector, bytes.constData(), size_t(bytes.size())) == 0) {
        d.dataEnd(detector);
        charset = QByteArray(d.charset(detector)).toUpper();
    }
    d.destroy(detector);
    return charset;
}

// The text when `encoding` takes every byte without error.
std::optional<QString> reading(const char* encoding, const QByteArray& bytes)
{
    QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless);
    if (!decoder.isValid()) return std::nullopt;
    QString text = decoder.decode(bytes);
    if (decoder.hasError()) return std::nullopt;
    return text;
}

qsizetype letters(const QString& text)
{
    return std::count_if(text.cbegin(), text.cend(), [](QChar c) { return c.isLetter(); });
}

// ISO pages the detector names for text that Windows saves in the page beside it. The two agree
// on most letters; where they part, the Windows page puts letters and typographic signs (curly
// quotes, dashes, the ellipsis) where the ISO page has signs or control characters.
struct Sibling
{
    const char* iso;
    const char* windows;
};
constexpr Sibling siblings[] = {
    {"ISO-8859-1", "windows-1252"}, {"ISO-8859-2", "windows-1250"},  {"ISO-8859-7", "windows-1253"},
    {"ISO-8859-9", "windows-1254"}, {"ISO-8859-13", "windows-1257"},
};

// Single-byte pages for Latin script that few files are saved in, which the detector still
// names for short Western text.
constexpr const char* rarerPages[] = {"MAC-CENTRALEUROPE", "IBM852",      "ISO-8859-3", "ISO-8859-4",
                                      "ISO-8859-10",       "ISO-8859-15", "ISO-8859-16"};

// Whether every character of `text` is one that Western text holds: printable ASCII and line
// breaks, Latin letters, and the usual signs of typeset text.
bool cleanLatin(const QString& text)
{
    static const QString signs = QStringLiteral("\u00A0«»‘’‚“”„–—…•€£¥¢°§©®™¡¿·ªº†‡‰‹›");
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) {
        if (c.unicode() < 0x80) return c.isPrint() || c == u'\n' || c == u'\r' || c == u'\t' || c == u'\f';
        return (c.isLetter() && c.script() == QChar::Script_Latin) || signs.contains(c);
    });
}

} // namespace

namespace TextEncoding {

QByteArray guess(const QByteArray& bytes)
{
    const QByteArray guessed = detectorGuess(bytes);
    const auto sibling = std::find_if(std::begin(siblings), std::end(siblings),
                                      [&](const Sibling& s) { return guessed == s.iso; });
    if (sibling != std::end(siblings)) {
        const std::optional<QString> windows = reading(sibling->windows, bytes);
        const std::optional<QString> iso = reading(sibling->iso, bytes);
        if (windows && (!iso || letters(*windows) >= letters(*iso))) return sibling->windows;
        return guessed;
    }
    const bool rarer = std::any_of(std::begin(rarerPages), std::end(rarerPages),
                                   [&](const char* page) { return guessed == page; });
    if (rarer && cleanLatin(windows1252(bytes))) return "windows-1252";
    return guessed;
}

QString windows1252(const QByteArray& bytes)
{
    // Windows-1252 differs from Latin-1 only in 0x80–0x9F.
    static constexpr char16_t high[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
    };
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        *out++ = QChar(byte >= 0x80 && byte < 0xA0 ? high[byte - 0x80] : char16_t(byte));
    }
    return text;
}

} // namespace TextEncoding
