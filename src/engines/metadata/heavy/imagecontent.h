#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// What kind of picture a file holds, told from its first bytes: a photo saved by a phone as HEIC
// is often shared under a .jpg or .png name, and its tags can only be read and written by what
// it really is.
namespace ImageContent {

// "jpg", "png", "gif", "bmp", "tiff", "webp", "heic" or "avif" for a file that starts with
// `head` (its first 64 bytes or more); none for anything else. A HEIF file is told by the brands
// of its file type box: AVIF when they name AV1 pictures, HEIC for HEVC pictures and for a HEIF
// file whose brands name no codec.
std::optional<QString> format(const QByteArray& head);

// format() of the first bytes of `path`; none when it cannot be read.
std::optional<QString> formatOf(const QString& path);

// Whether `format` is one of the HEIF containers, "heic" or "avif".
bool isHeif(const QString& format);

} // namespace ImageContent
