#include "engines/document/textdecoding.h"

#include "engines/text/regex.h"

#include <QStringDecoder>
#include <memory>
#include <uchardet/uchardet.h>

namespace {

// The text when `decoder` is usable and takes every byte without error.
std::optional<QString> decodeWith(QStringDecoder decoder, const QByteArray& bytes)
{
    if (!decoder.isValid()) return std::nullopt;
    QString text = decoder.decode(bytes);
    if (decoder.hasError()) return std::nullopt;
    return text;
}

// Text that starts with a byte-order mark is in that mark's encoding, whatever follows.
std::optional<QString> byByteOrderMark(const QByteArray& bytes)
{
    const std::optional<QStringConverter::Encoding> encoding = QStringConverter::encodingForData(bytes);
    if (!encoding) return std::nullopt;
    return QStringDecoder(*encoding).decode(bytes);
}

// The charset a meta tag in the head names, looked for in the first kilobytes only.
std::optional<QString> byMetaCharset(const QByteArray& bytes)
{
    const QString head = QString::fromLatin1(bytes.left(4096));
    const auto found =
        Regex::groups(head, QStringLiteral("(?i)<meta[^>]+charset\\s*=\\s*[\"']?([A-Za-z0-9._:-]+)"));
    if (!found) return std::nullopt;
    return decodeWith(QStringDecoder(found->at(1).toLatin1().constData()), bytes);
}

std::optional<QString> byDetector(const QByteArray& bytes)
{
    const std::unique_ptr<std::remove_pointer_t<uchardet_t>, void (*)(uchardet_t)> detector(uchardet_new(),
                                                                                            uchardet_delete);
    if (!detector || uchardet_handle_data(detector.get(), bytes.constData(), size_t(bytes.size())) != 0)
        return std::nullopt;
    uchardet_data_end(detector.get());
    const QByteArray charset = uchardet_get_charset(detector.get());
    if (charset.isEmpty()) return std::nullopt;
    return decodeWith(QStringDecoder(charset.constData()), bytes);
}

} // namespace

namespace Doc {

std::optional<QString> decodeUTF8(const QByteArray& bytes)
{
    // The decoder drops a leading byte-order mark itself.
    return decodeWith(QStringDecoder(QStringConverter::Utf8), bytes);
}

QString decodeText(const QByteArray& bytes, bool html)
{
    if (auto text = byByteOrderMark(bytes)) return *text;
    if (auto text = decodeUTF8(bytes)) return *text;
    if (html)
        if (auto text = byMetaCharset(bytes)) return *text;
    if (auto text = byDetector(bytes)) return *text;
    if (auto text = decodeWith(QStringDecoder("windows-1252"), bytes)) return *text;
    return QString::fromLatin1(bytes);
}

QString unixLineEnds(QString text)
{
    return text.replace(QLatin1String("\r\n"), QLatin1String("\n"))
        .replace(QLatin1Char('\r'), QLatin1Char('\n'));
}

} // namespace Doc
