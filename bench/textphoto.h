#pragma once

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>

// A made-up photo for the benchmarks that read text: light noise with a paper holding lines of
// text from 24 to 100 points at 300 dpi, on its upper left quarter.
inline QImage textPhoto(QSize size)
{
    QImage img(size, QImage::Format_RGB32);
    QRandomGenerator random(3);
    for (int y = 0; y < size.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const int grain = int(random.bounded(24));
            line[x] = qRgb(90 + grain, 110 + grain, 130 + grain);
        }
    }
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(QRectF(0.05 * size.width(), 0.05 * size.height(), 0.5 * size.width(), 0.5 * size.height()),
               QColor(236, 232, 222));
    double baseline = 0.12 * size.height();
    p.setPen(QColor(30, 30, 40));
    for (int points : {24, 32, 40, 56, 100}) {
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(points * 300 / 72);
        p.setFont(font);
        p.drawText(QPointF(0.07 * size.width(), baseline),
                   QStringLiteral("Line of %1 points 0171 2345").arg(points));
        baseline += font.pixelSize() * 1.8;
    }
    return img;
}
