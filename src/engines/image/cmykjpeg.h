#pragma once

#include <QImage>
#include <QString>
#include <functional>
#include <optional>

// CMYK JPEGs, whose colours only their profile tells: Qt's decoder turns their inks into RGB by
// a formula and drops the profile, which gives other colours than the file shows.
namespace CmykJpeg {

// The picture of the JPEG at `path` in sRGB, converted through its own CMYK profile, else the
// default one (see CmykTransform), when its pixels are CMYK (Adobe's inverted samples
// included); none when it holds no CMYK picture or is not a JPEG the library can start on.
// `checkSize` sees the size before anything is decoded and may throw to refuse it. Throws
// ConvertError naming `name` when the pixels cannot be decoded.
std::optional<QImage> read(const QString& path, const QString& name,
                           const std::function<void(QSize)>& checkSize);

} // namespace CmykJpeg
