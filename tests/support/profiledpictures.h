#pragma once

// Flat JPEGs that ImageMagick writes with a colour profile embedded as cameras and phones do:
// the values stay as they are and the profile says what they mean.

#include <QColor>
#include <QColorSpace>
#include <QDir>
#include <QFile>
#include <QProcess>

struct ProfiledPicture
{
    QString path;
    // What it looks like in sRGB, as a colour-managed viewer shows it.
    QColor shown;
};

// In `folder`, each `size` pixels: (200, 30, 30) tagged Adobe RGB, Display P3, sRGB and not at
// all; grey 120 tagged with a grey profile of gamma 1.8; the same red turned into CMYK inks
// through a CMYK profile, which prints it duller.
// Fewer when a picture could not be made.
inline QList<ProfiledPicture> writeProfiledPictures(const QString& folder, QSize size)
{
    const QDir dir(folder);
    const QString system = QStringLiteral("/usr/share/color/icc/ghostscript/");
    QFile p3(dir.filePath("p3.icc"));
    if (!p3.open(QIODevice::WriteOnly) || p3.write(QColorSpace(QColorSpace::DisplayP3).iccProfile()) <= 0)
        return {};
    p3.close();
    struct Row
    {
        QString name;
        QStringList arguments;
        QColor shown;
    };
    const QString red = QStringLiteral("xc:rgb(200,30,30)");
    const QList<Row> rows{
        {"adobe.jpg", {red, "-profile", system + "a98.icc"}, QColor(233, 24, 24)},
        {"p3.jpg", {red, "-profile", p3.fileName()}, QColor(218, 0, 6)},
        {"srgb.jpg", {red, "-profile", system + "srgb.icc"}, QColor(200, 30, 30)},
        {"plain.jpg", {red}, QColor(200, 30, 30)},
        {"grey.jpg",
         {"xc:rgb(120,120,120)", "-colorspace", "Gray", "-profile", system + "sgray.icc"},
         QColor(139, 139, 139)},
        {"cmyk.jpg",
         {red, "-profile", system + "srgb.icc", "-profile", system + "default_cmyk.icc"},
         QColor(200, 53, 57)},
    };
    QList<ProfiledPicture> out;
    for (const Row& row : rows) {
        const QString path = dir.filePath(row.name);
        const QStringList arguments =
            QStringList{"-size", QStringLiteral("%1x%2").arg(size.width()).arg(size.height())} +
            row.arguments + QStringList{"-quality", "95", path};
        if (QProcess::execute("/usr/bin/convert", arguments) == 0 && QFile::exists(path))
            out << ProfiledPicture{path, row.shown};
    }
    return out;
}

inline QStringList paths(const QList<ProfiledPicture>& pictures)
{
    QStringList out;
    for (const ProfiledPicture& p : pictures)
        out << p.path;
    return out;
}
