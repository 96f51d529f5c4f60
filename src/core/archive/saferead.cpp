#include "core/archive/saferead.h"

#include "core/archive/partreader.h"

QMap<QString, QByteArray> readSafely(const QString& archive, const ExtractLimits& limits)
{
    PartReader reader(archive, limits);
    QMap<QString, QByteArray> files;
    while (const std::optional<QString> name = reader.next())
        files.insert(*name, reader.rest());
    return files;
}
