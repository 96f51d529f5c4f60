// The Edit Photo tool: its window (save offered only for a loaded, edited picture; the live
// preview, its order and the compare button; the zoom) and its copies on disk (names, formats,
// properties, cancelling).

#include "core/converterror.h"
#include "core/job.h"
#include "engines/image/imageprops.h"
#include "toolkit/imagesource.h"
#include "toolkit/orangeslider.h"
#include "toolkit/primarybutton.h"
#include "toolkit/secondarybutton.h"
#include "toolkit/sliderrow.h"
#include "toolkit/toolwindow.h"
#include "tools/image/editphoto/adjustmentrows.h"
#include "tools/image/editphoto/editphoto.h"
#include "tools/image/editphoto/editphotoview.h"
#include "tools/image/editphoto/photostage.h"
#include "tools/image/editphoto/stagebutton.h"
#include "tools/toolwindows.h"

#include <QDir>
#include <QLabel>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>

#include "../../../support/cmykpictures.h"
#include "../../../support/toolharness.h"

namespace {

// A mid-grey picture of `size` with a darker left half, written at `path` in its extension's
// format.
void writePicture(const QString& path, QSize size = {800, 600})
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(120, 120, 120));
    QPainter(&image).fillRect(0, 0, size.width() / 2, size.height(), QColor(60, 60, 60));
    QVERIFY(image.save(path));
}

SliderRow* row(EditPhotoView& view, const char* label)
{
    const auto rows = AdjustmentRows::all();
    for (qsizetype i = 0; i < view.rows().size(); ++i)
        if (QLatin1String(rows[size_t(i)].label) == QLatin1String(label)) return view.rows()[i];
    return nullptr;
}

// Moves a slider as a drag on it does.
void move(EditPhotoView& view, const char* label, double value)
{
    emit row(view, label)->slider()->edited(value);
}

QStringList texts(const QWidget* w)
{
    QStringList out;
    for (const QLabel* label : w->findChildren<QLabel*>())
        out << label->text();
    return out;
}

// A stand-in renderer: a flat picture of the preview's size whose red is the brightness.
QImage flatRender(const QImage& preview, const PhotoAdjustments& a)
{
    QImage out(preview.size(), QImage::Format_RGB32);
    out.fill(qRgb(int(a.brightness), 0, 200));
    return out;
}

double meanGrey(const QImage& image)
{
    double sum = 0;
    for (int y = 0; y < image.height(); y += 4)
        for (int x = 0; x < image.width(); x += 4)
            sum += qGray(image.pixel(x, y));
    return sum / ((image.height() + 3) / 4) / ((image.width() + 3) / 4);
}

QStringList allFiles(const QString& dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

class EditPhotoTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_photo;

  private slots:
    void initTestCase()
    {
        m_photo = m_dir.filePath("photo.png");
        writePicture(m_photo, {3000, 2000});
    }

    void cleanup()
    {
        for (ToolWindow* w : ToolWindows::openWindows())
            w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void valueTexts()
    {
        using namespace AdjustmentRows;
        QCOMPARE(QStringList({exposureText(-1.25), exposureText(-0.0)}),
                 QStringList({"-1.25 EV", "0.00 EV"}));
        QCOMPARE(QStringList({signedText(25), signedText(-0.0), signedText(-0.4)}),
                 QStringList({"+25", "+0", "+0"}));
    }

    // Save is offered only for a loaded picture with something moved; Reset takes it back, and
    // every row shows its value in its own words.
    void saveFollowsTheSliders()
    {
        ToolHarness harness;
        EditPhotoView* view = harness.open<EditPhotoView>(ToolID::editImage, {m_photo});
        QVERIFY(view);
        QCOMPARE(view->rows().size(), 15);
        QVERIFY(!view->primaryButton()->isEnabled());
        QCOMPARE(view->primaryButton()->text(), QString("Save Edited Copy"));
        QVERIFY(texts(row(*view, "Contrast")).contains("+0"));

        move(*view, "Exposure", 0.5);
        move(*view, "Contrast", -40);
        QVERIFY(view->primaryButton()->isEnabled());
        QCOMPARE(view->adjustments().exposure, 0.5);
        QCOMPARE(view->adjustments().contrast, -40.0);
        QVERIFY(texts(row(*view, "Exposure")).contains("0.50 EV"));
        QVERIFY(texts(row(*view, "Contrast")).contains("-40"));

        view->resetButton()->click();
        QVERIFY(!view->primaryButton()->isEnabled());
        QCOMPARE(view->adjustments(), PhotoAdjustments{});
        QVERIFY(texts(row(*view, "Contrast")).contains("+0"));
        QCOMPARE(row(*view, "Contrast")->slider()->value(), 0.0);

        // A row's own reset button puts back its 0 and, with it, the default.
        move(*view, "Vignette", 30);
        QVERIFY(view->primaryButton()->isEnabled());
        row(*view, "Vignette")->resetButton()->click();
        QVERIFY(!view->primaryButton()->isEnabled());
    }

    // A picture that can't be read shows why and is never offered for saving.
    void unreadablePicture()
    {
        QFile junk(m_dir.filePath("junk.jpg"));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write("not a picture");
        junk.close();
        ToolHarness harness;
        EditPhotoView* view = harness.open<EditPhotoView>(ToolID::editImage, {junk.fileName()});
        QVERIFY(view && view->source().error());
        move(*view, "Brightness", 20);
        QVERIFY(!view->primaryButton()->isEnabled());
        QVERIFY(view->stage()->image().isNull());
    }

    // The stage shows the render of the preview (never the full picture), the unedited preview
    // while Hold to Compare is held, with no render for either, and the render again after.
    void previewAndCompare()
    {
        ToolHarness harness;
        EditPhotoView* view = harness.open<EditPhotoView>(ToolID::editImage, {m_photo});
        QVERIFY(view);
        std::atomic<int> renders = 0;
        std::atomic<int> longest = 0;
        view->setRenderer([&](const QImage& preview, const PhotoAdjustments& a) {
            ++renders;
            longest = std::max(preview.width(), preview.height());
            return flatRender(preview, a);
        });
        QCOMPARE(view->stage()->image(), view->source().preview());
        move(*view, "Brightness", 80);
        QTRY_VERIFY_WITH_TIMEOUT(!view->isRendering() && !view->rendered().isNull(), 20000);
        QCOMPARE(longest.load(), 1400);
        QCOMPARE(renders.load(), 1);

        const auto centre = [view] {
            const QImage shot = view->stage()->grab().toImage();
            return QColor(shot.pixel(shot.width() / 2, shot.height() * 3 / 4));
        };
        QCOMPARE(centre(), QColor(80, 0, 200));
        StageButton* compare = view->stage()->compareButton();
        QCOMPARE(compare->text(), QString("Hold to Compare"));
        QTest::mousePress(compare, Qt::LeftButton);
        QCOMPARE(view->stage()->image(), view->source().preview());
        QVERIFY2(qAbs(centre().red() - 120) <= 2 &&
                     centre().blue() == centre().red(), // the preview's scaling
                 qPrintable(centre().name()));
        QTest::mouseRelease(compare, Qt::LeftButton);
        QCOMPARE(centre(), QColor(80, 0, 200));
        QVERIFY(!view->isRendering());
        QCOMPARE(renders.load(), 1);
    }

    // Two quick moves, the first held back until the second was asked for: the stage ends on
    // the second, whichever render finishes last.
    void laterMoveWins()
    {
        ToolHarness harness;
        EditPhotoView* view = harness.open<EditPhotoView>(ToolID::editImage, {m_photo});
        QVERIFY(view);
        QSemaphore gate, started;
        view->setRenderer([&](const QImage& preview, const PhotoAdjustments& a) {
            if (a.brightness == 10) {
                started.release();
                gate.acquire();
            }
            return flatRender(preview, a);
        });
        move(*view, "Brightness", 10);
        QVERIFY(QTest::qWaitFor([&] { return started.tryAcquire(); }, 20000));
        move(*view, "Brightness", 20);
        QTest::qWait(0); // lets a render that wasn't held back finish first, if one could
        gate.release();
        QTRY_VERIFY_WITH_TIMEOUT(!view->isRendering(), 20000);
        QCoreApplication::processEvents();
        QCOMPARE(view->stage()->image().pixel(0, 0), qRgb(20, 0, 200));
    }

    // A slider moved while the picture loads counts once it is there.
    void moveWhileLoading()
    {
        ToolWindow* window = ToolWindows::open(ToolID::editImage, {m_photo});
        auto* view = qobject_cast<EditPhotoView*>(window->view());
        QVERIFY(view && !view->isSettled());
        view->setRenderer(flatRender);
        move(*view, "Brightness", 50);
        QVERIFY(!view->primaryButton()->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(view->isSettled() && !view->isRendering() && !view->rendered().isNull(),
                                 30000);
        QVERIFY(view->primaryButton()->isEnabled());
        QCOMPARE(view->stage()->image().pixel(0, 0), qRgb(50, 0, 200));
    }

    // "100%" shows the preview at its pixel size in a scrolling view and reads "Fit"; "Fit"
    // goes back.
    void zoom()
    {
        ToolHarness harness;
        EditPhotoView* view = harness.open<EditPhotoView>(ToolID::editImage, {m_photo});
        QVERIFY(view);
        PhotoStage* stage = view->stage();
        QCOMPARE(stage->zoomButton()->text(), QString("100%"));
        QVERIFY(!stage->scroller()->isVisible());
        stage->zoomButton()->click();
        QCOMPARE(stage->zoomButton()->text(), QString("Fit"));
        QVERIFY(stage->actualSize() && stage->scroller()->isVisible());
        QCOMPARE(stage->scroller()->widget()->size(), QSize(1400, 933)); // one pixel per pixel at 1x
        QVERIFY(stage->scroller()->horizontalScrollBar()->maximum() > 0);
        stage->zoomButton()->click();
        QCOMPARE(stage->zoomButton()->text(), QString("100%"));
        QVERIFY(!stage->actualSize() && !stage->scroller()->isVisible());
    }

    // Three dropped photos in two folders: one job writes "<base> Edited.<format>" beside each,
    // all with the first photo's adjustments; a second save numbers its copies.
    void savesEveryPhoto()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("sub"));
        const QStringList photos{dir.filePath("a.png"), dir.filePath("IMG_1.jpeg"),
                                 dir.filePath("sub/c.bmp")};
        for (const QString& p : photos)
            writePicture(p);
        ToolHarness harness;
        for (const QString number : {"", " 2"}) {
            EditPhotoView* view = harness.open<EditPhotoView>(ToolID::editImage, photos);
            QVERIFY(view);
            move(*view, "Exposure", 1);
            const std::shared_ptr<Job> job = harness.apply(*view);
            QVERIFY(job && ToolWindows::openWindows().isEmpty());
            QCOMPARE(job->title(), QString("Editing photo"));
            QCOMPARE(job->state().phase, Job::Phase::done);
            QCOMPARE(job->results(), (QStringList{dir.filePath("a Edited%1.png").arg(number),
                                                  dir.filePath("IMG_1 Edited%1.jpg").arg(number),
                                                  dir.filePath("sub/c Edited%1.bmp").arg(number)}));
            for (qsizetype i = 0; i < photos.size(); ++i) {
                const QImage before(photos[i]), after(job->results()[i]);
                QCOMPARE(after.size(), before.size());
                QVERIFY2(meanGrey(after) > meanGrey(before) + 30, qPrintable(job->results()[i]));
            }
        }
        QCOMPARE(allFiles(dir.path()).size(), 6);
    }

    // A CMYK photo, with its profile or without one, is shown and saved in the colours its
    // profile gives it (sharpening leaves flat colour alone), with no CMYK profile in the copy.
    void cmykPhotos()
    {
        QTemporaryDir dir;
        ToolHarness harness;
        for (const bool withProfile : {true, false}) {
            const QString photo = dir.filePath(withProfile ? "print.jpg" : "bare.jpg");
            QVERIFY(Cmyk::writePicture(photo, {80, 60}, withProfile));
            const QImage shown = Cmyk::shownByImageMagick(photo, withProfile);
            EditPhotoView* view = harness.open<EditPhotoView>(ToolID::editImage, {photo});
            QVERIFY(view);
            QCOMPARE(Cmyk::shows(view->source().full(), shown), QString());
            move(*view, "Sharpness", 30);
            const std::shared_ptr<Job> job = harness.apply(*view);
            QVERIFY(job);
            QCOMPARE(job->state().phase, Job::Phase::done);
            QCOMPARE(job->results().size(), 1);
            QCOMPARE(Cmyk::copyShows(job->results()[0], shown), QString());
        }
    }

    // A JPEG copy keeps the camera's words, the place and the resolution, upright; a drawing
    // the engine can't write becomes a PNG.
    void formatsAndProperties()
    {
        QTemporaryDir dir;
        const QString photo = dir.filePath("IMG_1.jpeg");
        QImage stored(400, 300, QImage::Format_RGB32);
        stored.fill(QColor(100, 100, 100));
        stored.setDotsPerMeterX(11811); // 300 dpi
        stored.setDotsPerMeterY(11811);
        QVERIFY(stored.save(photo, "JPEG", 95));
        ImageProps props;
        props.setOrientation(6);
        QVERIFY(props.setValue("Exif.Image.Make", "Tolvane Optics"));
        QVERIFY(props.setValue("Exif.GPSInfo.GPSLatitudeRef", "N"));
        QVERIFY(props.setValue("Exif.GPSInfo.GPSLatitude", "59/1 54/1 0/1"));
        QVERIFY(props.setValue("Iptc.Application2.Caption", "Harbour"));
        props.embedInto(photo);

        PhotoAdjustments a;
        a.temperature = 40;
        Job job("", "", 0);
        const QStringList out = EditPhoto::editFile(photo, a, job, [](double) {});
        QCOMPARE(out, QStringList{dir.filePath("IMG_1 Edited.jpg")});
        const QImage edited(out.first());
        QCOMPARE(edited.size(), QSize(300, 400));
        const QColor c = edited.pixelColor(150, 200);
        QVERIFY2(c.red() > c.blue() + 10, "warmer is redder");
        const ImageProps carried = ImageProps::read(out.first());
        QCOMPARE(carried.orientation(), 1);
        QCOMPARE(carried.value("Exif.Image.Make"), QString("Tolvane Optics"));
        QCOMPARE(carried.value("Exif.GPSInfo.GPSLatitude"), QString("59/1 54/1 0/1"));
        QCOMPARE(carried.value("Iptc.Application2.Caption"), QString("Harbour"));
        QVERIFY(carried.dpiX() && qRound(*carried.dpiX()) == 300);

        QFile svg(dir.filePath("logo.svg"));
        QVERIFY(svg.open(QIODevice::WriteOnly));
        svg.write("<svg xmlns='http://www.w3.org/2000/svg' width='64' height='32'>"
                  "<rect width='64' height='32' fill='#808080'/></svg>");
        svg.close();
        QCOMPARE(EditPhoto::editFile(svg.fileName(), a, job, [](double) {}),
                 QStringList{dir.filePath("logo Edited.png")});
    }

    // A cancelled save and a vanished file leave nothing, not even a hidden temporary file.
    void failuresLeaveNothing()
    {
        QTemporaryDir dir;
        const QString photo = dir.filePath("p.jpg");
        writePicture(photo);
        PhotoAdjustments a;
        a.sharpness = 50;
        Job job("", "", 0);
        job.cancel();
        try {
            EditPhoto::editFile(photo, a, job, [](double) {});
            QFAIL("a cancelled save went on");
        } catch (const ConvertError& e) {
            QCOMPARE(e.description(), QString("Cancelled"));
        }
        QCOMPARE(allFiles(dir.path()), QStringList{"p.jpg"});

        Job running("", "", 0);
        try {
            EditPhoto::editFile(dir.filePath("gone.jpg"), a, running, [](double) {});
            QFAIL("a missing file was saved");
        } catch (const ConvertError& e) {
            QCOMPARE(e.description(), QString("gone.jpg is no longer there"));
        }
        QCOMPARE(allFiles(dir.path()), QStringList{"p.jpg"});
    }
};

QTEST_MAIN(EditPhotoTest)
#include "test_editphotoview.moc"
