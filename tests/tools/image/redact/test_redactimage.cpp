// The Redact Photo tool: boxes drawn with the mouse and found by injected searches, and the
// road from the window to "Redacted" copies that hide every box and carry no metadata.

#include "core/converterror.h"
#include "core/job.h"
#include "core/jobs.h"
#include "toolkit/imagesource.h"
#include "toolkit/pools.h"
#include "toolkit/primarybutton.h"
#include "toolkit/secondarybutton.h"
#include "toolkit/segmented.h"
#include "toolkit/toolwindow.h"
#include "tools/image/redact/redactimage.h"
#include "tools/image/redact/redactimageview.h"
#include "tools/image/redact/redactor.h"
#include "tools/image/redact/redactstage.h"
#include "tools/toolwindows.h"

#include <QBuffer>
#include <QDir>
#include <QMutex>
#include <QPointer>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTest>
#include <exiv2/exiv2.hpp>

#include "../../../support/cmykpictures.h"
#include "../../../support/rects.h"
#include "../../../support/toolharness.h"

namespace {

// Coloured noise, so that no covering can pass for the picture beneath it.
QImage noise(QSize size)
{
    QRandomGenerator random(7);
    QImage img(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            img.setPixel(x, y, random.generate() | 0xff000000u);
    return img;
}

// The point of the stage over unit point `u` of the picture.
QPoint at(RedactStage* stage, QPointF u)
{
    const QRectF r = stage->pictureRect();
    return (r.topLeft() + QPointF(u.x() * r.width(), u.y() * r.height())).toPoint();
}

void drag(RedactStage* stage, QPoint from, QPoint to)
{
    QTest::mousePress(stage, Qt::LeftButton, {}, from);
    QTest::mouseMove(stage, (from + to) / 2);
    QTest::mouseMove(stage, to);
    QTest::mouseRelease(stage, Qt::LeftButton, {}, to);
}

void choose(RedactImageView& view, RedactStyle style)
{
    Segmented* s = view.styles();
    const int i = int(s->options().indexOf(rawValue(style)));
    const QRectF r = Segmented::segmentRects(Segmented::textWidths(s->options(), s->selected(), s))[i];
    QTest::mouseClick(s, Qt::LeftButton, {}, r.center().toPoint());
}

// A share of the pixels of `area` that are the same in both pictures.
double same(const QImage& a, const QImage& b, QRect area)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += a.pixel(x, y) == b.pixel(x, y);
    return double(n) / (double(area.width()) * area.height());
}

// A JPEG stored 300 × 200 and turned upright by orientation 6, holding what could find or name
// its owner: GPS, camera, a thumbnail, XMP, IPTC and a comment.
void writeTellingPhoto(const QString& path)
{
    QVERIFY(noise({300, 200}).save(path, "JPEG", 95));
    auto image = Exiv2::ImageFactory::open(path.toStdString());
    image->readMetadata();
    Exiv2::ExifData& exif = image->exifData();
    exif["Exif.Image.Orientation"] = uint16_t(6);
    exif["Exif.Image.Make"] = "Tellcam";
    exif["Exif.GPSInfo.GPSLatitudeRef"] = "N";
    auto latitude = Exiv2::Value::create(Exiv2::unsignedRational);
    latitude->read("59/1 54/1 0/1");
    exif.add(Exiv2::ExifKey("Exif.GPSInfo.GPSLatitude"), latitude.get());
    QByteArray thumb;
    QBuffer buffer(&thumb);
    QVERIFY(noise({32, 24}).save(&buffer, "JPEG"));
    Exiv2::ExifThumb(exif).setJpegThumbnail(reinterpret_cast<const Exiv2::byte*>(thumb.constData()),
                                            size_t(thumb.size()));
    image->xmpData()["Xmp.dc.creator"] = "Ann Owner";
    image->iptcData()["Iptc.Application2.City"] = "Oslo";
    image->setComment("taken at home");
    image->writeMetadata();
}

} // namespace

class RedactImageTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_photo;

  private slots:
    // The covering's pools, first asked for on a job's worker, belong to the main thread.
    void init() { QTest::failOnWarning(QRegularExpression("different thread")); }

    void initTestCase()
    {
        m_photo = m_dir.filePath("noise.png");
        QVERIFY(noise({400, 300}).save(m_photo));
    }

    // Drags draw boxes in unit space cut to the picture; short drags and slivers draw nothing;
    // a click removes the topmost box under it and nothing elsewhere; Clear empties the list.
    void drawingAndRemoving()
    {
        ToolHarness harness;
        auto* view = harness.open<RedactImageView>(ToolID::redactImage, {m_photo});
        QVERIFY(view);
        RedactStage* stage = view->stage();
        QVERIFY(!view->primaryButton()->isEnabled() && !view->clearButton()->isEnabled());

        drag(stage, at(stage, {0.2, 0.2}), at(stage, {0.2, 0.2}) + QPoint(2, 2)); // under 4 points
        QVERIFY(view->boxes().isEmpty());
        drag(stage, at(stage, {0.5, 0.5}), at(stage, {0.5, 0.5}) + QPoint(60, 1)); // a sliver
        QVERIFY(view->boxes().isEmpty());

        drag(stage, at(stage, {0.6, 0.4}), at(stage, {0.2, 0.1}));
        QCOMPARE(view->boxes().size(), 1);
        const QRectF first = view->boxes()[0];
        QVERIFY2(std::abs(first.x() - 0.2) < 0.01 && std::abs(first.width() - 0.4) < 0.01 &&
                     std::abs(first.y() - 0.1) < 0.01 && std::abs(first.height() - 0.3) < 0.01,
                 qPrintable(text(first)));
        drag(stage, at(stage, {0.5, 0.5}),
             stage->rect().bottomRight() + QPoint(50, 50)); // out of the picture
        QCOMPARE(view->boxes().size(), 2);
        QCOMPARE(view->boxes()[1].right(), 1.0);
        QCOMPARE(view->boxes()[1].bottom(), 1.0);
        QVERIFY(view->primaryButton()->isEnabled() && view->clearButton()->isEnabled());

        QTest::mouseClick(stage, Qt::LeftButton, {}, at(stage, {0.05, 0.9})); // outside every box
        QCOMPARE(view->boxes().size(), 2);
        drag(stage, at(stage, {0.3, 0.3}), at(stage, {0.7, 0.7})); // over both
        QTest::mouseClick(stage, Qt::LeftButton, {}, at(stage, {0.55, 0.55}));
        QCOMPARE(view->boxes().size(), 2);
        QCOMPARE(view->boxes()[0], first);

        view->clearButton()->click();
        QVERIFY(view->boxes().isEmpty() && !view->primaryButton()->isEnabled());

        // A picture that can't be read gives nothing to draw on or search.
        auto* broken = harness.open<RedactImageView>(ToolID::redactImage, {m_dir.filePath("missing.png")});
        QVERIFY(broken && broken->stage()->pictureRect().isEmpty());
        drag(broken->stage(), QPoint(20, 20), QPoint(200, 200));
        QVERIFY(broken->boxes().isEmpty() && !broken->findFaces()->isEnabled() &&
                !broken->findText()->isEnabled());
    }

    // Found boxes are added after those there: faces grown and cut to the picture, text as it
    // is; the note counts them; a second search adds them again; the stage shows the style.
    void searchesAddTheirBoxes()
    {
        ToolHarness harness;
        auto* view = harness.open<RedactImageView>(ToolID::redactImage, {m_photo});
        QVERIFY(view);
        const QList<QRectF> faces{{0.4, 0.4, 0.2, 0.2}, {0.9, 0.0, 0.2, 0.1}};
        QList<QRectF> lines{{0.1, 0.7, 0.5, 0.1}};
        view->setDetector({[&](const QImage&) { return faces; }, [&](const QImage&) { return lines; }});
        const auto search = [view](bool faces) {
            view->detect(faces);
            QTRY_VERIFY_WITH_TIMEOUT(!view->isDetecting(), ToolHarness::limitMs);
        };

        search(true);
        const QList<QRectF> grown{{0.37, 0.35, 0.26, 0.3}, {0.87, 0.0, 0.13, 0.125}};
        QCOMPARE(view->boxes().size(), 2);
        for (qsizetype i = 0; i < 2; ++i)
            QVERIFY2(near(view->boxes()[i], grown[i]), qPrintable(text(view->boxes()[i])));
        QCOMPARE(view->note(), QString("Found 2 faces. Click a box to keep it uncovered."));
        search(true);
        QCOMPARE(view->boxes().size(), 4);
        QCOMPARE(view->boxes().mid(2), view->boxes().mid(0, 2));

        search(false);
        QCOMPARE(view->boxes().last(), lines[0]);
        QCOMPARE(view->note(), QString("Found 1 text areas. Click a box to keep it uncovered."));
        lines = {{1.2, 0.5, 0.1, 0.1}}; // off the picture
        search(false);
        QCOMPARE(view->boxes().size(), 5);
        QCOMPARE(view->note(), QString("No text found."));

        // The stage fills committed boxes in the style's colour.
        RedactStage* stage = view->stage();
        QCOMPARE(view->stage()->grab().toImage().pixelColor(at(stage, {0.5, 0.5})), QColor(Qt::black));
        choose(*view, RedactStyle::blur);
        QCOMPARE(view->style(), RedactStyle::blur);
        const QColor grey = view->stage()->grab().toImage().pixelColor(at(stage, {0.45, 0.45}));
        QVERIFY2(grey.saturation() < 30 && grey.value() > 60 && grey.value() < 200, qPrintable(grey.name()));
    }

    // Both searches are handed the whole picture, not the preview the window shows: small text
    // or a small face of a large photo is found only there.
    void searchesSeeTheWholePicture()
    {
        QTemporaryDir dir;
        const QString photo = dir.filePath("large.png");
        QImage large(2400, 1800, QImage::Format_RGB32);
        large.fill(QColor(90, 110, 130));
        QVERIFY(large.save(photo));
        ToolHarness harness;
        auto* view = harness.open<RedactImageView>(ToolID::redactImage, {photo});
        QVERIFY(view);
        QVERIFY(view->source().preview().width() < 2400); // the window shows a smaller copy
        QList<QSize> seen;
        QMutex guard;
        const auto note = [&](const QImage& image) {
            const QMutexLocker lock(&guard);
            seen << image.size();
            return QList<QRectF>();
        };
        view->setDetector({note, note});
        for (bool faces : {true, false}) {
            QTRY_VERIFY_WITH_TIMEOUT(view->findFaces()->isEnabled(), ToolHarness::limitMs);
            (faces ? view->findFaces() : view->findText())->click();
            QTRY_VERIFY_WITH_TIMEOUT(!view->isDetecting(), ToolHarness::limitMs);
        }
        QCOMPARE(seen, (QList<QSize>{QSize(2400, 1800), QSize(2400, 1800)}));
    }

    // A search still running when the window closes is dropped; the buttons wait for it.
    void searchForAClosedWindowIsDropped()
    {
        ToolHarness harness;
        QPointer<RedactImageView> view = harness.open<RedactImageView>(ToolID::redactImage, {m_photo});
        QVERIFY(view);
        QSemaphore go, done;
        view->setDetector({[&](const QImage&) {
                               go.acquire();
                               done.release();
                               return QList<QRectF>{{0.1, 0.1, 0.2, 0.2}};
                           },
                           {}});
        view->detect(true);
        QVERIFY(view->isDetecting() && !view->findFaces()->isEnabled() && !view->findText()->isEnabled());
        view->window()->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!view);
        go.release();
        QVERIFY(done.tryAcquire(1, ToolHarness::limitMs));
        // The hand-over, queued to the main thread once the search returns, meets no window.
        QTRY_VERIFY_WITH_TIMEOUT(Pools::loader().activeThreadCount() == 0, ToolHarness::limitMs);
        QCoreApplication::sendPostedEvents();
    }

    // Save writes "<base> Redacted.<ext>" for every dropped file with the boxes hidden in the
    // chosen style and the rest untouched; the PNG's own text is not carried.
    void savesCoverEveryBox_data()
    {
        QTest::addColumn<RedactStyle>("style");
        for (RedactStyle style : allRedactStyles())
            QTest::newRow(qPrintable(rawValue(style))) << style;
    }
    void savesCoverEveryBox()
    {
        QFETCH(RedactStyle, style);
        QTemporaryDir dir;
        QImage source = noise({400, 300});
        source.setText("Comment", "taken at home");
        const QStringList files{dir.filePath("a.png"), dir.filePath("b.png")};
        for (const QString& file : files)
            QVERIFY(source.save(file));
        ToolHarness harness;
        auto* view = harness.open<RedactImageView>(ToolID::redactImage, files);
        QVERIFY(view);
        choose(*view, style);
        drag(view->stage(), at(view->stage(), {0.25, 0.5}), at(view->stage(), {0.75, 0.75}));
        QCOMPARE(view->boxes().size(), 1);
        const QRect box = Redactor::pixelBox(view->boxes()[0], source.size());

        const std::shared_ptr<Job> job = harness.apply(*view);
        QVERIFY(job && ToolWindows::openWindows().isEmpty());
        QCOMPARE(job->results(),
                 (QStringList{dir.filePath("a Redacted.png"), dir.filePath("b Redacted.png")}));
        for (const QString& result : job->results()) {
            const QImage out = QImage(result).convertToFormat(QImage::Format_RGB32);
            QVERIFY(out.textKeys().isEmpty());
            QCOMPARE(same(out, source, QRect(0, 0, 400, box.top())), 1.0);
            QVERIFY2(same(out, source, box) < 0.01, qPrintable(rawValue(style)));
            if (style == RedactStyle::black || style == RedactStyle::white) {
                const QRgb fill = style == RedactStyle::black ? 0xff000000u : 0xffffffffu;
                QImage filled(out.size(), QImage::Format_RGB32);
                filled.fill(fill);
                QCOMPARE(same(out, filled, box), 1.0);
            }
        }
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 4); // no temporary left
    }

    // The copy of a telling JPEG is upright and holds no Exif, GPS, thumbnail, XMP, IPTC or
    // comment; a .jpeg gives a .jpg.
    void copyTellsNothing()
    {
        QTemporaryDir dir;
        const QString photo = dir.filePath("IMG_1.jpeg");
        writeTellingPhoto(photo);
        auto before = Exiv2::ImageFactory::open(photo.toStdString());
        before->readMetadata();
        QVERIFY(!before->exifData().empty() && !before->xmpData().empty() && !before->iptcData().empty() &&
                !before->comment().empty());

        Job job("", "", 0);
        const QStringList out =
            RedactImage::redactFile(photo, {{0.1, 0.1, 0.3, 0.3}}, RedactStyle::pixelate, job, [](double) {});
        QCOMPARE(out, QStringList{dir.filePath("IMG_1 Redacted.jpg")});
        QCOMPARE(QImage(out[0]).size(), QSize(200, 300));
        auto after = Exiv2::ImageFactory::open(out[0].toStdString());
        after->readMetadata();
        QVERIFY(after->exifData().empty());
        QVERIFY(after->xmpData().empty());
        QVERIFY(after->iptcData().empty());
        QVERIFY2(after->comment().empty(), after->comment().c_str());
    }

    // A CMYK photo, with its profile or without one, is shown and copied in the colours its
    // profile gives it outside the box, and the copy carries no CMYK profile.
    void cmykPhotos()
    {
        QTemporaryDir dir;
        ToolHarness harness;
        for (const bool withProfile : {true, false}) {
            const QString photo = dir.filePath(withProfile ? "print.jpg" : "bare.jpg");
            QVERIFY(Cmyk::writePicture(photo, {160, 120}, withProfile));
            const QImage shown = Cmyk::shownByImageMagick(photo, withProfile);
            auto* view = harness.open<RedactImageView>(ToolID::redactImage, {photo});
            QVERIFY(view);
            QCOMPARE(Cmyk::shows(view->source().full(), shown), QString());
            choose(*view, RedactStyle::black);
            drag(view->stage(), at(view->stage(), {0.05, 0.05}), at(view->stage(), {0.3, 0.2}));
            QCOMPARE(view->boxes().size(), 1);
            const std::shared_ptr<Job> job = harness.apply(*view);
            QVERIFY(job);
            QCOMPARE(job->state().phase, Job::Phase::done);
            QCOMPARE(job->results().size(), 1);
            QCOMPARE(Cmyk::copyShows(job->results()[0], shown), QString());
            QCOMPARE(Cmyk::differs(QImage(job->results()[0]).pixel(16, 12), qRgb(0, 0, 0)), QString());
        }
    }

    // A covering that can't be made fails the file with "Couldn’t render"; a cancel fails it as
    // cancelled; neither leaves a file.
    void failuresLeaveNothing()
    {
        QTemporaryDir dir;
        const QString photo = dir.filePath("p.png");
        QVERIFY(noise({200, 100}).save(photo));
        const auto broken = [](const QImage&, QRect, RedactStyle, double) { return QImage(); };
        for (RedactStyle style : {RedactStyle::blur, RedactStyle::pixelate}) {
            Job job("", "", 0);
            try {
                RedactImage::redactFile(
                    photo, {{0.1, 0.1, 0.5, 0.5}}, style, job, [](double) {}, broken);
                QFAIL("a box that couldn't be covered was saved");
            } catch (const ConvertError& e) {
                QCOMPARE(e.description(), QString("Couldn’t render"));
            }
        }
        Job job("", "", 0);
        try {
            RedactImage::redactFile(photo, {{0.1, 0.1, 0.5, 0.5}}, RedactStyle::blur, job,
                                    [&job](double) { job.cancel(); });
            QFAIL("a cancelled redaction was saved");
        } catch (const ConvertError& e) {
            QVERIFY(e.isCancelled());
        }
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"p.png"});
    }
};

QTEST_MAIN(RedactImageTest)
#include "test_redactimage.moc"
