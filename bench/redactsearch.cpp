// Runs Redact Photo's Find Text or Find Faces once on a made-up photo of the given size (lines of
// text from 24 to 100 points at 300 dpi, and small faces of a plain drawing, on light noise; or,
// with "dark", light lines and a line running down on a dark gradient) and prints the boxes it
// found, the wall and processor time and the peak memory the search added.
// Usage: bench_redactsearch text|faces [WIDTH HEIGHT] [dark]
#include "core/modules.h"
#include "engines/recognition/recognitionmodule.h"
#include "tools/image/redact/redactdetector.h"

#include "textphoto.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPainter>
#include <cstdio>
#include <sys/resource.h>

namespace {

double peakBytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss * 1024.0;
}

// Processor time of all the program's threads so far, in milliseconds: on a busy machine the
// wall time says little.
long long processorMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000LL +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000;
}

// A plain face whose head is `side` pixels wide, centred at `centre`.
void face(QPainter& p, QPointF centre, double side)
{
    p.save();
    p.translate(centre);
    p.scale(side / 200, side / 200);
    p.translate(-200, -190);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(225, 190, 160));
    p.drawEllipse(QRectF(110, 80, 180, 240));
    p.setBrush(QColor(60, 40, 30));
    p.drawEllipse(QRectF(100, 60, 200, 70));
    p.fillRect(QRectF(120, 110, 160, 40), QColor(225, 190, 160));
    p.fillRect(QRectF(140, 158, 45, 7), QColor(70, 50, 40));
    p.fillRect(QRectF(215, 158, 45, 7), QColor(70, 50, 40));
    p.setBrush(QColor(250, 250, 250));
    p.drawEllipse(QRectF(145, 175, 38, 18));
    p.drawEllipse(QRectF(217, 175, 38, 18));
    p.setBrush(QColor(40, 30, 30));
    p.drawEllipse(QRectF(156, 176, 16, 16));
    p.drawEllipse(QRectF(228, 176, 16, 16));
    p.setBrush(QColor(195, 155, 130));
    p.drawPolygon(QPolygonF({QPointF(200, 190), QPointF(188, 250), QPointF(212, 250)}));
    p.setBrush(QColor(170, 80, 80));
    p.drawEllipse(QRectF(168, 270, 64, 18));
    p.restore();
}

// The text photo with small faces of a plain drawing along its foot.
QImage photo(QSize size)
{
    QImage img = textPhoto(size);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < 6; ++i)
        face(p, QPointF((0.62 + 0.06 * i) * size.width(), 0.8 * size.height()), 32 + 24 * i);
    return img;
}

// Light writing on a dark gradient, from 24 to 56 points at a point a pixel, its last lines on
// the gradient's lighter end, and a line running down the right edge.
QImage darkPhoto(QSize size)
{
    QImage img(size, QImage::Format_RGB32);
    QPainter p(&img);
    QLinearGradient shade(0, 0, size.width(), size.height());
    shade.setColorAt(0, QColor(8, 10, 18));
    shade.setColorAt(1, QColor(96, 104, 122));
    p.fillRect(img.rect(), shade);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QColor(232, 230, 220));
    QFont font("DejaVu Sans");
    const QList<std::tuple<int, QPointF, const char*>> lines{
        {24, {0.07, 0.15}, "IBAN DE89 3704 0044 0532 0130 00"},
        {32, {0.3, 0.45}, "Card 4111 1111 1111 1111"},
        {24, {0.5, 0.7}, "Valid until 09/29 CVC 123"},
        {56, {0.55, 0.85}, "Greta Hansen"}};
    for (const auto& [pixels, at, text] : lines) {
        font.setPixelSize(pixels);
        p.setFont(font);
        p.drawText(QPointF(at.x() * size.width(), at.y() * size.height()), QString::fromLatin1(text));
    }
    font.setPixelSize(32);
    p.setFont(font);
    p.translate(0.9 * size.width(), 0.1 * size.height());
    p.rotate(90);
    p.drawText(QPointF(0, 0), QStringLiteral("Phone 0171 2345 6789"));
    return img;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const bool dark = args.last() == "dark";
    const qsizetype count = args.size() - (dark ? 1 : 0);
    if ((count != 2 && count != 4) || (args[1] != "text" && args[1] != "faces")) {
        std::fputs("usage: bench_redactsearch text|faces [WIDTH HEIGHT] [dark]\n", stderr);
        return 2;
    }
    const QSize size = count == 4 ? QSize(args[2].toInt(), args[3].toInt()) : QSize(6000, 4000);
    const QImage img = dark ? darkPhoto(size) : photo(size);
    Modules::entries<RecognitionModule>(); // the libraries are loaded before the baseline is taken
    const RedactDetector detector = RedactDetector::standard();
    const double before = peakBytes();
    const long long processorBefore = processorMs();
    QElapsedTimer timer;
    timer.start();
    const QList<QRectF> found = args[1] == "text" ? detector.text(img) : detector.faces(img);
    const long long wall = timer.elapsed();
    std::printf("%s%s on %d x %d: %lld boxes in %lld ms (%lld ms of processor time); peak %.0f MB, %.0f MB "
                "above the %.0f MB before it\n",
                qPrintable(args[1]), dark ? " (dark)" : "", size.width(), size.height(),
                static_cast<long long>(found.size()), wall, processorMs() - processorBefore,
                peakBytes() / 1e6, (peakBytes() - before) / 1e6, before / 1e6);
    for (const QRectF& box : found)
        std::printf("  %.0f,%.0f %.0f x %.0f\n", box.x() * size.width(), box.y() * size.height(),
                    box.width() * size.width(), box.height() * size.height());
    return 0;
}
