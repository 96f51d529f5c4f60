#pragma once

#include <QByteArray>
#include <QImage>

// A picture's colour profile as the encoders may write it: a viewer refuses or misreads a
// profile made for other pixels than the file holds (a CMYK or grey profile on RGB pixels).
namespace IccProfile {

// The pixels a profile describes, as its header says; other for CMYK, Lab and the like, and for
// bytes that are no ICC profile.
enum class Model { rgb, grey, other };

// The ICC profile of `image`'s colour space when it is one Qt applies and describes pixels of
// `pixels`; empty otherwise.
QByteArray fitting(const QImage& image, Model pixels);

// `image` as `encoder` ("jpeg", "tiff", "png", "bmp": Qt's encoders; "heif": libheif) should
// take it: as it is when its profile describes the samples the encoder writes of it (grey or
// RGB) or it has none; else in sRGB when Qt applies its profile; else without the profile.
// Pixels are copied only when the profile doesn't fit.
QImage forEncoder(QImage image, const QByteArray& encoder);

} // namespace IccProfile
