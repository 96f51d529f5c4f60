#pragma once

// Helpers of the media, image, recognition, PDF and document engine tests.

#include "core/converterror.h"
#include "core/job.h"
#include "core/scratchfolder.h"
#include "core/shell.h"
#include "engines/converter.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QUrl>
#include <algorithm>
#include <functional>
#include <utility>

namespace Fixture {

inline bool write(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

inline QString read(const QString& path) // as UTF-8; empty when missing
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// Everything in a folder, hidden entries too, by name.
inline QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

inline QStringList convert(
    const QString& source, const QString& target, const std::function<void(double)>& progress = [](double) {})
{
    Job job({}, {}, 0);
    return Converter::convert(source, target, job, progress);
}

// The error `work` ends with; a failure "(no failure)" when it ends without one.
inline ConvertError failure(const std::function<void()>& work)
{
    try {
        work();
    } catch (const ConvertError& e) {
        return e;
    }
    return ConvertError::failed("(no failure)");
}

inline bool ffmpeg(const QStringList& args) // quietly; false when it fails
{
    QProcess p;
    p.start("ffmpeg", QStringList{"-v", "error", "-y", "-nostdin"} + args);
    return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// White paper with each line of text in black, 40 pixels high, from x 60 at its pixel baseline.
inline QImage writing(QSize size, const QList<std::pair<int, QString>>& lines)
{
    QImage img(size, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    QFont font("DejaVu Sans");
    font.setPixelSize(40);
    p.setFont(font);
    for (const auto& [baseline, text] : lines)
        p.drawText(60, baseline, text);
    return img;
}

// A photo of 1200 × 900: a noisy colour gradient, speckled along its right and bottom edges, and
// a white band that holds "Meet me at the harbour" in 54 px black DejaVu Sans Bold, as a JPEG
// decodes it.
inline QImage captionedPhoto()
{
    QImage img(1200, 900, QImage::Format_RGB32);
    QRandomGenerator noise(61);
    for (int y = 0; y < img.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            // One grain for the three channels, wrapping round as it does where a camera's
            // values overflow: speckles near the bright red right edge, and in the bottom strip.
            const int spread = y > 860 ? 256 : 32;
            const int grain = int(noise.bounded(spread)) - spread / 2;
            row[x] = qRgb((x / 5 + grain) & 0xFF, (y * 2 / 9 + grain) & 0xFF, (135 + grain) & 0xFF);
        }
    }
    QPainter p(&img);
    p.fillRect(0, 720, 1200, 140, Qt::white);
    QFont font("DejaVu Sans");
    font.setBold(true);
    font.setPixelSize(54);
    p.setFont(font);
    p.setPen(Qt::black);
    p.drawText(60, 805, "Meet me at the harbour");
    p.end();
    // As a camera keeps it: through JPEG.
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    img.save(&buffer, "JPEG", 92);
    return QImage::fromData(jpeg, "JPEG");
}

// Runs the program: its exit status and standard output, trimmed.
inline std::pair<int, QString> tolvane(const QStringList& args)
{
    QProcess p;
    p.start(TOLVANE_BIN, args);
    if (!p.waitForFinished(180000)) return {-1, "did not finish"};
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()).trimmed()};
}

// Runs LibreOffice, with a profile of its own, to write `file` as `format` into `folder`: its
// exit status, -1 when it is not installed.
inline int soffice(const QString& file, const QString& format, const QString& folder)
{
    const auto program = Shell::find("soffice");
    const ScratchFolder profile;
    return program ? Shell::run(*program,
                                {"--headless", "--norestore",
                                 "-env:UserInstallation=" + QUrl::fromLocalFile(profile.path()).toString(),
                                 "--convert-to", format, "--outdir", folder, file},
                                std::nullopt, nullptr, {}, std::chrono::minutes(3))
                         .status
                   : -1;
}

} // namespace Fixture
