#pragma once

#include "core/scratchfolder.h"

#include <QString>
#include <QStringView>
#include <QXmlStreamReader>
#include <memory>
#include <optional>

class QFile;

// An office package (XLSX, ODS) unpacked into a scratch folder for its readers, which parse its
// XML parts as streams and match names by their local part ("r:id" is "id").
class SheetPackage
{
  public:
    // Unpacks the package; throws ConvertError when it is no readable zip.
    explicit SheetPackage(const QString& path);
    ~SheetPackage();

    // Opens the part `name` ("xl/workbook.xml") for reading, or gives nothing when the package
    // has no such part. A name that leads outside the package is refused.
    std::unique_ptr<QFile> open(const QString& name) const;
    // The same for a part that must be there.
    std::unique_ptr<QFile> require(const QString& name) const;

    // Throws ConvertError::failed("Couldn’t read <file>: <reason>").
    [[noreturn]] void fail(const QString& reason) const;
    // Fails when the parser stopped on malformed XML in `part`.
    void check(const QXmlStreamReader& xml, const QString& part) const;

    const QString& fileName() const { return m_fileName; }

  private:
    QString m_fileName;
    ScratchFolder m_folder;
};

namespace SheetXML {

// The value of the first attribute whose local name is `name`.
std::optional<QString> attribute(const QXmlStreamReader& xml, QLatin1String name);

// A decimal integer with an optional sign; values past ±10^15 are held at that bound.
std::optional<qint64> integer(QStringView text);

} // namespace SheetXML
