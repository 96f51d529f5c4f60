#pragma once

#include "core/converterror.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

struct archive;

// Entry names as the archive readers (the unpacker and the archive-to-archive copy) check them.
namespace ArchiveNames {

using Components = QList<QByteArray>;

// The kernel gives up after about this many links in one lookup; so do the readers.
inline constexpr int maxLinkHops = 40;

// The names of a path, without empty and "." components; ".." is kept.
Components split(const QByteArray& path);

// A name libarchive gives in the locale's encoding, or in UTF-8 when it can't convert it.
QByteArray entryText(const char* local, const char* utf8);

// `name` read as code page 437, in UTF-8: how a zip entry without the UTF-8 flag names itself.
QByteArray fromCodePage437(const QByteArray& name);

// Why the entry `name` (split into `parts`) may not be unpacked: an absolute name or a ".."
// that could lead out of the folder; none when its name stays inside.
std::optional<QString> escapes(const QByteArray& name, const Components& parts);

// libarchive's last error on `a`; "the file is damaged or cut short" for data that end early
// or fail to decompress or to match their checksum, a plain phrase when it gives none.
QString errorText(archive* a);

// "Couldn’t unpack <archive>: <reason>", for an archive a reader can't take.
ConvertError unpackFailure(const QString& archive, const QString& reason);

} // namespace ArchiveNames
