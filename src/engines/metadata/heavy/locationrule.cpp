#include "engines/metadata/heavy/locationrule.h"

#include "engines/metadata/coordinatetext.h"
#include "engines/metadata/heavy/locationnames.h"

#include <QRegularExpression>
#include <cmath>
#include <vector>

namespace {

// The field's name in an exiv2 key: the last step of an XMP path, without its index.
QString nameOf(const std::string& key)
{
    QString name = QString::fromStdString(key);
    name = name.mid(name.lastIndexOf(QLatin1Char('.')) + 1);
    name = name.mid(name.lastIndexOf(QLatin1Char('/')) + 1);
    return name.left(name.indexOf(QLatin1Char('[')));
}

bool isText(Exiv2::TypeId type)
{
    return type == Exiv2::asciiString || type == Exiv2::string || type == Exiv2::comment ||
           type == Exiv2::xmpText || type == Exiv2::xmpBag || type == Exiv2::xmpSeq ||
           type == Exiv2::xmpAlt || type == Exiv2::langAlt || type == Exiv2::undefined ||
           type == Exiv2::unsignedByte;
}

// Bytes that read as text: printable, but for the zeros that end them.
std::optional<QString> printable(QByteArray bytes)
{
    while (bytes.endsWith('\0'))
        bytes.chop(1);
    for (const char c : bytes)
        if (quint8(c) < 0x20 && c != '\n' && c != '\r' && c != '\t') return std::nullopt;
    return QString::fromUtf8(bytes);
}

} // namespace

void LocationRule::learn(QStringView name, QStringView value)
{
    if (!LocationNames::namesAPlace(name) || value.startsWith(QLatin1String("type="))) return;
    static const QRegularExpression word(QStringLiteral(R"(\p{L}{3})"),
                                         QRegularExpression::UseUnicodePropertiesOption);
    for (QStringView part : value.split(QRegularExpression(QStringLiteral("[,;\\n]")))) {
        part = part.trimmed();
        if (part.size() > 200 || !word.match(part).hasMatch() || CoordinateText::holdsCoordinates(part))
            continue;
        if (!m_places.contains(part)) m_places << part.toString();
    }
}

void LocationRule::learn(const Exiv2::Metadatum& datum)
{
    const QString name = nameOf(datum.key());
    for (const QString& text : texts(datum))
        learn(name, text);
}

bool LocationRule::holdsLocation(QStringView text) const
{
    if (CoordinateText::holdsCoordinates(text)) return true;
    for (const QString& place : m_places) {
        // A keyword is often a place name in lower case; in running text the name keeps its capital,
        // so that "Nice" does not take "a nice day" with it.
        if (text.trimmed().compare(place, Qt::CaseInsensitive) == 0) return true;
        for (qsizetype at = text.indexOf(place); at >= 0; at = text.indexOf(place, at + 1)) {
            const qsizetype end = at + place.size();
            if ((at == 0 || !text[at - 1].isLetterOrNumber()) &&
                (end == text.size() || !text[end].isLetterOrNumber()))
                return true;
        }
    }
    return false;
}

bool LocationRule::isLocation(QStringView name, QStringView value) const
{
    return LocationNames::isLocationName(name) || holdsLocation(value);
}

bool LocationRule::isLocation(const Exiv2::Metadatum& datum) const
{
    if (LocationNames::isLocationKey(datum.key())) return true;
    const QStringList all = texts(datum);
    return std::any_of(all.begin(), all.end(), [this](const QString& t) { return holdsLocation(t); });
}

bool LocationRule::tellsLocation(const Exiv2::Metadatum& datum) const
{
    if (!isLocation(datum)) return false;
    // Numbers, and bytes that are not text, tell whatever they hold.
    const QStringList all = texts(datum);
    if (all.isEmpty()) return datum.count() > 0;
    return std::any_of(all.begin(), all.end(), [](const QString& t) { return !t.trimmed().isEmpty(); });
}

QStringList LocationRule::texts(const Exiv2::Metadatum& datum)
{
    QStringList out;
    try {
        const Exiv2::TypeId type = datum.typeId();
        if (type == Exiv2::langAlt) {
            for (const auto& [language, text] : static_cast<const Exiv2::LangAltValue&>(datum.value()).value_)
                out << QString::fromStdString(text);
        } else if (type == Exiv2::xmpBag || type == Exiv2::xmpSeq || type == Exiv2::xmpAlt) {
            for (long i = 0; i < datum.count(); ++i)
                out << QString::fromStdString(datum.toString(i));
        } else if (type == Exiv2::comment) {
            out << QString::fromStdString(static_cast<const Exiv2::CommentValue&>(datum.value()).comment());
        } else if (type == Exiv2::undefined || type == Exiv2::unsignedByte) {
            std::vector<Exiv2::byte> raw(size_t(datum.size()));
            datum.copy(raw.data(), Exiv2::littleEndian);
            const QByteArray bytes(reinterpret_cast<const char*>(raw.data()), qsizetype(raw.size()));
            // XPTitle, XPComment, XPAuthor, XPKeywords and XPSubject.
            const bool ucs2 = datum.tag() >= 0x9C9B && datum.tag() <= 0x9C9F && datum.groupName() == "Image";
            if (ucs2)
                out << QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData()),
                                          bytes.size() / 2)
                           .remove(QChar(0));
            else if (const std::optional<QString> text = printable(bytes))
                out << *text;
        } else if (isText(type)) {
            out << QString::fromStdString(datum.toString());
        }
    } catch (const std::exception&) {
    }
    return out;
}
