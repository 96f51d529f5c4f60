#include "engines/image/iccprofile.h"

#include <QColorSpace>
#include <QtEndian>

namespace {

// What the profile's header declares; other for bytes that are no ICC profile.
IccProfile::Model model(const QByteArray& profile)
{
    if (profile.size() < 132 || qFromBigEndian<quint32>(profile.constData()) != quint32(profile.size()) ||
        profile.mid(36, 4) != "acsp")
        return IccProfile::Model::other;
    const QByteArray space = profile.mid(16, 4);
    if (space == "RGB ") return IccProfile::Model::rgb;
    if (space == "GRAY") return IccProfile::Model::grey;
    return IccProfile::Model::other;
}

bool greyTable(const QImage& image)
{
    if (image.colorCount() == 0) return false;
    for (const QRgb c : image.colorTable())
        if (!qIsGray(c)) return false;
    return true;
}

// Whether `encoder` writes `image` as grey samples: libheif never; Qt's encoders the grey
// formats, and JPEG and TIFF also a palette of greys alone.
bool writtenGrey(const QImage& image, const QByteArray& encoder)
{
    if (encoder == "heif") return false;
    if (image.format() == QImage::Format_Grayscale8 || image.format() == QImage::Format_Grayscale16)
        return true;
    return (encoder == "jpeg" || encoder == "tiff") && greyTable(image);
}

} // namespace

namespace IccProfile {

QByteArray fitting(const QImage& image, Model pixels)
{
    const QColorSpace space = image.colorSpace();
    if (!space.isValid()) return {};
    QByteArray profile = space.iccProfile();
    return model(profile) == pixels ? profile : QByteArray();
}

QImage forEncoder(QImage image, const QByteArray& encoder)
{
    const auto fits = [&encoder](const QImage& i) {
        return !fitting(i, writtenGrey(i, encoder) ? Model::grey : Model::rgb).isEmpty();
    };
    if (image.colorSpace().iccProfile().isEmpty() || fits(image)) return image;
    // A profile Qt applies still tells what the pixels look like: they go in sRGB instead.
    if (image.colorSpace().isValid()) {
        const QImage converted = image.convertedToColorSpace(QColorSpace::SRgb);
        if (!converted.isNull() && fits(converted)) return converted;
    }
    image.setColorSpace(QColorSpace());
    return image;
}

} // namespace IccProfile
