#pragma once

// A PDF whose pictures are drawn in the ways a reader of page placements must follow or leave
// alone.

#include "minipdf.h"

#include <QByteArray>
#include <QList>
#include <QRandomGenerator>

namespace PlacedPictures {

// Noise of `n` bytes, so that neither Flate nor JPEG gets it small by accident.
inline QByteArray noise(qsizetype n, quint32 seed)
{
    QByteArray bytes(n, Qt::Uninitialized);
    QRandomGenerator random(seed);
    for (char& b : bytes)
        b = char(random.bounded(256));
    return bytes;
}

// An 8-bit picture object of raw samples, Flate-compressed, with `extra` entries.
inline QByteArray picture(int width, int height, const QByteArray& space, int components,
                          const QByteArray& extra, quint32 seed)
{
    const QByteArray data = qCompress(noise(qsizetype(width) * height * components, seed)).mid(4);
    return "<< /Type /XObject /Subtype /Image /Width " + QByteArray::number(width) + " /Height " +
           QByteArray::number(height) + " /ColorSpace " + space +
           " /BitsPerComponent 8 /Filter /FlateDecode " + extra + " /Length " +
           QByteArray::number(data.size()) + " >>\nstream\n" + data + "\nendstream";
}

// One Letter page drawing pictures in the ways the screen level must measure or leave alone:
// 5 drawn twice (largest 2 × 1.33 in), 7 inside a form scaled by half under a page scaled by
// two (4 in), 8 with a decode array, 9 through a palette, 10 with a soft mask (11); 8 to 10 at
// 1 in wide.
inline QByteArray bytes()
{
    const QByteArray page = "q 144 0 0 96 36 600 cm /A Do Q q 72 0 0 48 300 600 cm /A Do Q "
                            "q 2 0 0 2 0 0 cm /F Do Q q 72 0 0 48 36 36 cm /D Do Q "
                            "q 72 0 0 48 150 36 cm /P Do Q q 72 0 0 48 300 36 cm /M Do Q";
    const QByteArray form = "q 288 0 0 288 0 0 cm /B Do Q";
    const QList<QByteArray> objects{
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R /Resources << /XObject << "
        "/A 5 0 R /F 6 0 R /D 8 0 R /P 9 0 R /M 10 0 R >> >> >>",
        "<< /Length " + QByteArray::number(page.size()) + " >>\nstream\n" + page + "\nendstream",
        picture(600, 400, "/DeviceRGB", 3, {}, 1),
        "<< /Type /XObject /Subtype /Form /BBox [0 0 612 792] /Matrix [0.5 0 0 0.5 0 0] /Resources << "
        "/XObject << /B 7 0 R >> >> /Length " +
            QByteArray::number(form.size()) + " >>\nstream\n" + form + "\nendstream",
        picture(1200, 1200, "/DeviceGray", 1, {}, 2),
        picture(600, 400, "/DeviceRGB", 3, "/Decode [1 0 1 0 1 0]", 3),
        picture(600, 400, "[/Indexed /DeviceRGB 255 <" + noise(768, 4).toHex() + ">]", 1, {}, 5),
        picture(600, 400, "/DeviceRGB", 3, "/SMask 11 0 R", 6),
        picture(600, 400, "/DeviceGray", 1, {}, 7),
    };
    return MiniPdf::assemble(objects, "1.5");
}

} // namespace PlacedPictures
