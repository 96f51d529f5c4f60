#pragma once

// CMYK JPEGs as ImageMagick writes them for print (Adobe's inverted inks, with or without the
// CMYK profile they were made through), what ImageMagick shows of them in sRGB through that
// profile, and the kind of colour profile a file carries as exiftool reads it.

#include <QColor>
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdlib>

namespace Cmyk {

inline const QString profiles = QStringLiteral("/usr/share/color/icc/ghostscript/");

// At `path`, a picture of `size` whose upper half is red (200, 30, 30) and lower half green
// (60, 190, 80), turned into CMYK inks through the default CMYK profile, which it carries when
// `withProfile`. False when ImageMagick fails.
inline bool writePicture(const QString& path, QSize size, bool withProfile)
{
    const QString half = QStringLiteral("%1x%2").arg(size.width()).arg(size.height() / 2);
    QStringList arguments =
        QStringList{"-size", half, "xc:rgb(200,30,30)", "-size", half, "xc:rgb(60,190,80)"};
    arguments +=
        QStringList{"-append", "-profile", profiles + "srgb.icc", "-profile", profiles + "default_cmyk.icc"};
    if (!withProfile) arguments += QStringList{"+profile", "icc"};
    arguments += QStringList{"-quality", "95", path};
    return QProcess::execute("/usr/bin/convert", arguments) == 0 && QFile::exists(path);
}

// The picture at `path` as ImageMagick converts it to sRGB through its CMYK profile, or the
// default one when it carries none; null when it fails.
inline QImage shownByImageMagick(const QString& path, bool carriesProfile)
{
    QTemporaryDir dir;
    const QString png = dir.filePath("shown.png");
    QStringList arguments{path};
    if (!carriesProfile) arguments << "-profile" << profiles + "default_cmyk.icc";
    arguments << "-profile" << profiles + "srgb.icc" << png;
    if (QProcess::execute("/usr/bin/convert", arguments) != 0) return {};
    return QImage(png).convertToFormat(QImage::Format_RGB32);
}

// The colour space of the file's ICC profile as exiftool names it ("RGB", "GRAY", "CMYK"), or
// empty without one.
inline QString profileSpace(const QString& path)
{
    QProcess exiftool;
    exiftool.start("exiftool", {"-s3", "-ICC_Profile:ColorSpaceData", path});
    exiftool.waitForFinished(30000);
    return QString::fromUtf8(exiftool.readAllStandardOutput()).trimmed();
}

// Whether two colours differ by at most `slack` in each channel; else a text that names both.
inline QString differs(QRgb seen, QRgb expected, int slack = 6)
{
    if (std::abs(qRed(seen) - qRed(expected)) <= slack &&
        std::abs(qGreen(seen) - qGreen(expected)) <= slack &&
        std::abs(qBlue(seen) - qBlue(expected)) <= slack)
        return {};
    return QStringLiteral("(%1, %2, %3) where (%4, %5, %6) is shown")
        .arg(qRed(seen))
        .arg(qGreen(seen))
        .arg(qBlue(seen))
        .arg(qRed(expected))
        .arg(qGreen(expected))
        .arg(qBlue(expected));
}

// The middle of the upper and of the lower half of `size`, where the two colours lie flat.
inline QList<QPoint> probes(QSize size)
{
    return {QPoint(size.width() / 2, size.height() / 4), QPoint(size.width() / 2, size.height() * 3 / 4)};
}

// Empty when the picture `image` shows what `shown` shows at the probes; else what it shows.
inline QString shows(const QImage& image, const QImage& shown)
{
    if (image.size() != shown.size()) return QStringLiteral("a picture of another size");
    for (const QPoint at : probes(shown.size()))
        if (const QString d = differs(image.pixel(at), shown.pixel(at)); !d.isEmpty()) return d;
    return {};
}

// Empty when the copy at `path` carries no CMYK profile and shows what `shown` shows at the
// probes; else what is wrong with it.
inline QString copyShows(const QString& path, const QImage& shown)
{
    if (profileSpace(path) == QLatin1String("CMYK")) return path + QStringLiteral(" carries a CMYK profile");
    if (const QString d = shows(QImage(path), shown); !d.isEmpty())
        return path + QStringLiteral(" shows ") + d;
    return {};
}

} // namespace Cmyk
