#include "engines/document/clipping.h"

#include "core/converterror.h"
#include "core/textfile.h"
#include "engines/document/propertylist.h"
#include "engines/document/rtftext.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

namespace Doc {

QString clippingText(const QString& path)
{
    const std::optional<QVariant> top = PropertyList::read(TextFile::bytes(path));
    const QVariantMap data = top ? top->toMap().value(QStringLiteral("UTI-Data")).toMap() : QVariantMap();
    // The text may be held as a string or as its encoded bytes.
    const QVariant utf8 = data.value(QStringLiteral("public.utf8-plain-text"));
    if (utf8.typeId() == QMetaType::QString) return utf8.toString();
    if (utf8.typeId() == QMetaType::QByteArray) return QString::fromUtf8(utf8.toByteArray());
    const QVariant utf16 = data.value(QStringLiteral("public.utf16-plain-text"));
    if (utf16.typeId() == QMetaType::QString) return utf16.toString();
    if (utf16.typeId() == QMetaType::QByteArray) {
        const QByteArray bytes = utf16.toByteArray();
        const auto encoding = QStringConverter::encodingForData(bytes).value_or(QStringConverter::Utf16LE);
        return QStringDecoder(encoding).decode(bytes);
    }
    const QVariant rtf = data.value(QStringLiteral("public.rtf"));
    if (rtf.typeId() == QMetaType::QByteArray && rtf.toByteArray().startsWith("{\\rtf"))
        return rtfText(rtf.toByteArray());
    throw ConvertError::failed(QStringLiteral("This clipping has no text"));
}

} // namespace Doc
