#pragma once

#include <QByteArray>
#include <optional>

// The location taken out of one block of tags, wherever a file keeps that block. Each returns
// none when the block holds no location, else the block without it, which is empty when nothing
// else was in it, or when the block cannot be read but may hold one: a place unseen is not kept.
namespace LocationBlocks {

// An Exif block, with or without the "Exif" header it has in JPEG and WebP files, without its
// GPS directories (TiffTags::Drop::location).
std::optional<QByteArray> exif(const QByteArray& block);

// An XMP packet, without the properties (and structures) LocationNames tells of.
std::optional<QByteArray> xmp(const QByteArray& packet);

// IPTC IIM records, without the place names and the content location.
std::optional<QByteArray> iptc(const QByteArray& records);

// A Photoshop image resource block (8BIM resources, as in a JPEG's APP13 and TIFF tag 34377),
// with its IPTC and XMP resources taken through iptc() and xmp(); an emptied resource goes.
std::optional<QByteArray> photoshop(const QByteArray& resources);

} // namespace LocationBlocks
