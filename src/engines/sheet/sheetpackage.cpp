#include "engines/sheet/sheetpackage.h"

#include "core/converterror.h"
#include "core/zip.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

SheetPackage::SheetPackage(const QString& path)
    : m_fileName(QFileInfo(path).fileName()), m_folder(Zip::extract(path))
{
}

SheetPackage::~SheetPackage() = default;

std::unique_ptr<QFile> SheetPackage::open(const QString& name) const
{
    QStringList inside;
    for (const QString& component : name.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (component == QLatin1String(".")) continue;
        if (component != QLatin1String("..")) {
            inside.append(component);
            continue;
        }
        if (inside.isEmpty()) fail(QStringLiteral("the part “%1” lies outside the package").arg(name));
        inside.removeLast();
    }
    const QString path = m_folder.file(inside.join(QLatin1Char('/')));
    // The unpacker keeps every link inside the folder; this holds the reader to it as well.
    const QString real = QFileInfo(path).canonicalFilePath();
    if (real.isEmpty() || !QFileInfo(real).isFile()) return nullptr;
    if (!real.startsWith(QFileInfo(m_folder.path()).canonicalFilePath() + QLatin1Char('/')))
        fail(QStringLiteral("the part “%1” lies outside the package").arg(name));
    auto file = std::make_unique<QFile>(real);
    if (!file->open(QIODevice::ReadOnly)) fail(file->errorString());
    return file;
}

std::unique_ptr<QFile> SheetPackage::require(const QString& name) const
{
    std::unique_ptr<QFile> file = open(name);
    if (!file) fail(QStringLiteral("the part “%1” is missing").arg(name));
    return file;
}

void SheetPackage::fail(const QString& reason) const
{
    throw ConvertError::failed(QStringLiteral("Couldn’t read %1: %2").arg(m_fileName, reason));
}

void SheetPackage::check(const QXmlStreamReader& xml, const QString& part) const
{
    if (xml.hasError())
        fail(QStringLiteral("“%1” is not well-formed XML (line %2: %3)")
                 .arg(part, QString::number(xml.lineNumber()), xml.errorString()));
}

namespace SheetXML {

std::optional<QString> attribute(const QXmlStreamReader& xml, QLatin1String name)
{
    for (const QXmlStreamAttribute& attribute : xml.attributes())
        if (attribute.name() == name) return attribute.value().toString();
    return std::nullopt;
}

std::optional<qint64> integer(QStringView text)
{
    constexpr qint64 bound = 1000000000000000;
    qsizetype i = 0;
    const bool negative = !text.isEmpty() && text.front() == u'-';
    if (!text.isEmpty() && (text.front() == u'-' || text.front() == u'+')) i = 1;
    if (i == text.size()) return std::nullopt;
    qint64 value = 0;
    for (; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c < u'0' || c > u'9') return std::nullopt;
        value = std::min(bound, value * 10 + (c.unicode() - u'0'));
    }
    return negative ? -value : value;
}

} // namespace SheetXML
