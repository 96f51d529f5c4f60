#pragma once

#include "core/filecategory.h"
#include "core/toolid.h"
#include "core/wheelitem.h"
#include "core/wheelmode.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <optional>

// What can be done with which files: format keys, categories, conversion targets, tools and the
// petals of each wheel. Pure lookups over constant tables, safe on any thread.
namespace Catalog {

// The format key of a file or package folder: its lower-cased extension mapped through the
// aliases (".tar.gz" is gz), or none when that names no category. A folder has a format only
// when it is a package (rtfd, pages, key, numbers). The one file-system query of the catalog.
std::optional<QString> format(const QString& path);

std::optional<FileCategory> category(const QString& key);

// The targets one format converts to, in wheel order, without the format itself and without
// formats that are never written.
QStringList conversions(const QString& key);
// The targets every dragged file converts to; empty when any file has no format.
QStringList conversions(const QStringList& paths);

// The tools offered for the dragged files; several files get only the tools that take many.
QList<ToolID> tools(const QStringList& paths);

QList<WheelItem> items(WheelMode mode, const QStringList& paths);

// The number of source-to-target conversions offered, summed over every source format.
int conversionPathCount();

// Lower-cased extension → format key, for extensions that are not keys themselves.
const QHash<QString, QString>& aliases();
// Formats that are read but never offered as a target.
const QSet<QString>& inputOnly();

} // namespace Catalog
