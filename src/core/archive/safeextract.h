#pragma once

#include <QString>
#include <QtGlobal>

// Bounds that stop a hostile archive from filling the disk or the folder table. They are
// checked against the sizes the archive declares and against the bytes really unpacked.
struct ExtractLimits
{
    static constexpr qint64 defaultMaxBytes = qint64(4) << 30;
    static constexpr qint64 defaultMaxEntries = 500000;

    qint64 maxBytes = defaultMaxBytes;
    qint64 maxEntries = defaultMaxEntries;
};

// Unpacks any archive libarchive reads (zip, tar, compressed tar, rar, 7z, …) into the existing
// folder `destination`. Refuses absolute names, ".." components, links whose target leaves the
// folder (also through other links), writing through links, and archives beyond `limits`; special
// files (devices, pipes, sockets) are skipped. Throws ConvertError::failed("Couldn’t unpack
// <archive name>: <reason>"), "<entry> in <archive name> is damaged" for data that fail their
// checksum or their declared size, and Output::writeFailure() when the disk refuses a write; what
// was unpacked before the failure stays in `destination`, which the caller removes.
void extractSafely(const QString& archive, const QString& destination, const ExtractLimits& limits = {});
