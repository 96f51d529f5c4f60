#include "engines/document/textdecoding.h"

#include "core/textfile.h"
#include "engines/text/regex.h"

#include <QStringDecoder>

namespace {

// The text when `decoder` is usable and takes every byte without error. Decoders are stateless:
// one that expects more input holds back a sequence cut short at the end instead of failing.
std::optional<QString> decodeWith(QStringDecoder decoder, const QByteArray& bytes)
{
    if (!decoder.isValid()) return std::nullopt;
    QString text = decoder.decode(bytes);
    if (decoder.hasError()) return std::nullopt;
    return text;
}

// The charset a meta tag in the head names, looked for in the first kilobytes only.
std::optional<QString> byMetaCharset(const QByteArray& bytes)
{
    const QString head = QString::fromLatin1(bytes.left(4096));
    const auto found =
        Regex::groups(head, QStringLiteral("(?i)<meta[^>]+charset\\s*=\\s*[\"']?([A-Za-z0-9._:-]+)"));
    if (!found) return std::nullopt;
    return decodeWith(QStringDecoder(found->at(1).toLatin1().constData(), QStringConverter::Flag::Stateless),
                      bytes);
}

} // namespace

namespace Doc {

std::optional<QString> decodeUTF8(const QByteArray& bytes)
{
    // The decoder drops a leading byte-order mark itself.
    return decodeWith(QStringDecoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless), bytes);
}

QString decodeText(const QByteArray& bytes, bool html)
{
    if (html && !QStringConverter::encodingForData(bytes) && !decodeUTF8(bytes))
        if (auto text = byMetaCharset(bytes)) return *text;
    return TextFile::decode(bytes);
}

QString unixLineEnds(QString text)
{
    return text.replace(QLatin1String("\r\n"), QLatin1String("\n"))
        .replace(QLatin1Char('\r'), QLatin1Char('\n'));
}

} // namespace Doc
