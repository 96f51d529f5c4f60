// The Crop Image tool: the size fields and presets over a picture, and the whole road from the
// window to "Cropped" copies on disk.

#include "core/converterror.h"
#include "core/job.h"
#include "core/jobs.h"
#include "engines/image/imageprops.h"
#include "toolkit/cropoverlay.h"
#include "toolkit/imagesource.h"
#include "toolkit/numberfield.h"
#include "toolkit/primarybutton.h"
#include "toolkit/secondarybutton.h"
#include "toolkit/segmented.h"
#include "toolkit/toolwindow.h"
#include "tools/image/crop/cropimage.h"
#include "tools/image/crop/cropimageview.h"
#include "tools/image/crop/cropmodel.h"
#include "tools/image/crop/cropstage.h"
#include "tools/toolwindows.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

#include "../../../support/cmykpictures.h"
#include "../../../support/rects.h"
#include "../../../support/toolharness.h"

namespace {

const QSize big(4000, 3000);

QSize pixels(const QRectF& r, QSize full)
{
    return QSize(int(CropModel::pixels(r.width(), full.width())),
                 int(CropModel::pixels(r.height(), full.height())));
}

// A photo stored 400 × 300 with its left half red and right half blue, turned upright by its
// orientation 6 into 300 × 400 with red on top; with a GPS position.
void writePhoto(const QString& path)
{
    QImage stored(400, 300, QImage::Format_RGB32);
    stored.fill(Qt::blue);
    QPainter(&stored).fillRect(0, 0, 200, 300, Qt::red);
    QVERIFY(stored.save(path, "JPEG", 95));
    ImageProps props;
    props.setOrientation(6);
    QVERIFY(props.setValue("Exif.GPSInfo.GPSLatitudeRef", "N"));
    QVERIFY(props.setValue("Exif.GPSInfo.GPSLatitude", "59/1 54/1 0/1"));
    props.embedInto(path);
}

CropImageView* viewOf(ToolWindow* window)
{
    return qobject_cast<CropImageView*>(window->content());
}

// Clicks the aspect segment labelled `label`.
void choose(CropImageView& view, const QString& label)
{
    Segmented* s = view.aspects();
    const int i = int(s->options().indexOf(label));
    const QRectF at = Segmented::segmentRects(Segmented::textWidths(s->options(), s->selected(), s))[i];
    QTest::mouseClick(s, Qt::LeftButton, {}, at.center().toPoint());
}

} // namespace

class CropImageTest : public QObject
{
    Q_OBJECT
  private slots:
    void cleanup()
    {
        for (ToolWindow* w : ToolWindows::openWindows())
            w->close();
        Jobs::setPresenter({});
    }

    // A typed side keeps the corner and the ratio, caps at the picture and rounds halves up.
    void typedSizes()
    {
        CropModel model;
        model.setAspect(CropAspect::wide, big);
        const QRectF wide = CropModel::typedWidth(model.rect(), 1000, big, ratio(CropAspect::wide));
        QVERIFY2(near(wide, QRectF(model.rect().topLeft(), QSizeF(0.25, 0.1875))), qPrintable(text(wide)));
        QCOMPARE(pixels(wide, big), QSize(1000, 563)); // 562.5 rounds up

        const QRectF whole(0, 0, 1, 1), right(0.5, 0.2, 0.3, 0.3);
        QCOMPARE(CropModel::typedWidth(whole, 10, big, std::nullopt).width(), 0.01); // not 0.0025
        QVERIFY(near(CropModel::typedWidth(right, 9000, big, std::nullopt), QRectF(0.5, 0.2, 0.5, 0.3)));
        QVERIFY(near(CropModel::typedHeight(right, 600, big, std::nullopt), QRectF(0.5, 0.2, 0.3, 0.2)));
        QCOMPARE(CropModel::typedWidth(right, 500, QSize(), 1.0), right); // not loaded: nothing changes

        // Where the other side meets the edge, the typed side gives way so the ratio holds.
        const QRectF low(0, 0.5, 0.3, 0.3);
        const QRectF capped = CropModel::typedWidth(low, 3000, big, 1.0);
        QCOMPARE(pixels(capped, big), QSize(1500, 1500));
        QVERIFY(near(capped, QRectF(0, 0.5, 0.375, 0.5)));
        const QRectF side = CropModel::typedHeight(QRectF(0.8, 0, 0.1, 0.1), 3000, big, 1.0);
        QCOMPARE(pixels(side, big), QSize(800, 800));
    }

    // The window: count text for several files only, the fields follow the rectangle, typed
    // values go through the model, Reset puts everything back.
    void theWindow()
    {
        QTemporaryDir dir;
        QImage picture(big, QImage::Format_RGB32);
        picture.fill(Qt::darkGreen);
        QVERIFY(picture.save(dir.filePath("field.png")));
        const QString file = dir.filePath("field.png");

        CropImageView* single = viewOf(ToolWindows::open(ToolID::cropImage, {file}));
        QVERIFY(!single->countText());
        CropImageView* view = viewOf(ToolWindows::open(ToolID::cropImage, {file, file, file}));
        QCOMPARE(view->countText()->text(), QString("Same crop for 3 images"));
        QCOMPARE(view->aspects()->options(), (QStringList{"Free", "1:1", "16:9", "9:16", "4:3", "3:4"}));
        QVERIFY(!view->primaryButton()->isEnabled());
        QCOMPARE(view->widthField()->value(), 0);
        // A preset chosen before the picture is known (its load is delivered by the event loop,
        // not yet run) takes hold once it is.
        emit view->aspects()->edited(1);
        QCOMPARE(view->model().rect(), QRectF(0, 0, 1, 1));
        QTRY_VERIFY_WITH_TIMEOUT(view->isSettled(), 30000);
        QVERIFY(view->primaryButton()->isEnabled());
        QVERIFY2(near(view->model().rect(), QRectF(0.125, 0, 0.75, 1)),
                 qPrintable(text(view->model().rect())));
        QCOMPARE(view->widthField()->value(), 3000);
        view->resetButton()->click();
        QCOMPARE(view->widthField()->value(), 4000);

        choose(*view, "16:9");
        // Return in the field commits the number and starts no job.
        bool started = false;
        Jobs::setPresenter([&](const std::shared_ptr<Job>&, std::optional<QPointF>) { started = true; });
        view->widthField()->editor()->setFocus();
        view->widthField()->editor()->setText("1000");
        QTest::keyClick(view->widthField()->editor(), Qt::Key_Return);
        QVERIFY(!started);
        QCOMPARE(view->heightField()->value(), 563);
        QVERIFY(near(view->stage()->overlay()->unitRect(), view->model().rect()));
        view->resetButton()->click();
        QCOMPARE(view->aspects()->selected(), 0);
        QCOMPARE(view->widthField()->value(), 4000);
        QCOMPARE(view->heightField()->value(), 3000);
    }

    // From the drop to the files: "1:1" on an upright 300 × 400 photo gives a 300 × 300 JPEG,
    // upright, GPS kept; the second run numbers its copy.
    void endToEnd()
    {
        QTemporaryDir dir;
        const QString photo = dir.filePath("x.jpg");
        writePhoto(photo);
        ToolHarness harness;
        for (const QString expected : {"x Cropped.jpg", "x Cropped 2.jpg"}) {
            CropImageView* view = harness.open<CropImageView>(ToolID::cropImage, {photo});
            QVERIFY(view && view->primaryButton()->isEnabled());
            QCOMPARE(view->source().full().size(), QSize(300, 400));
            choose(*view, "1:1");
            QCOMPARE(view->widthField()->value(), 300);
            QCOMPARE(view->heightField()->value(), 300);
            const std::shared_ptr<Job> job = harness.apply(*view);
            QVERIFY(job && ToolWindows::openWindows().isEmpty());
            QCOMPARE(job->state().phase, Job::Phase::done);
            QCOMPARE(job->results(), QStringList{dir.filePath(expected)});
        }

        const QImage cropped(dir.filePath("x Cropped.jpg"));
        QCOMPARE(cropped.size(), QSize(300, 300));
        QCOMPARE(QColor(cropped.pixel(150, 10)).hue() / 10, 0);   // red above
        QCOMPARE(QColor(cropped.pixel(150, 290)).hue() / 10, 24); // blue below
        const ImageProps props = ImageProps::read(dir.filePath("x Cropped.jpg"));
        QCOMPARE(props.orientation(), 1);
        QCOMPARE(props.value("Exif.GPSInfo.GPSLatitude"), QString("59/1 54/1 0/1"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 3); // no temporary left
    }

    // A CMYK photo, with its profile or without one, is shown and copied in the colours its
    // profile gives it, and the copy carries no CMYK profile.
    void cmykPhotos()
    {
        QTemporaryDir dir;
        ToolHarness harness;
        for (const bool withProfile : {true, false}) {
            const QString photo = dir.filePath(withProfile ? "print.jpg" : "bare.jpg");
            QVERIFY(Cmyk::writePicture(photo, {80, 60}, withProfile));
            const QImage shown = Cmyk::shownByImageMagick(photo, withProfile);
            CropImageView* view = harness.open<CropImageView>(ToolID::cropImage, {photo});
            QVERIFY(view);
            QCOMPARE(Cmyk::shows(view->source().full(), shown), QString());
            const std::shared_ptr<Job> job = harness.apply(*view);
            QVERIFY(job);
            QCOMPARE(job->state().phase, Job::Phase::done);
            QCOMPARE(job->results().size(), 1);
            QCOMPARE(Cmyk::copyShows(job->results()[0], shown), QString());
        }
    }

    // A format the engine cannot write gives PNG; an unreadable file fails with the loader's
    // message and leaves nothing.
    void formatsAndFailures()
    {
        QTemporaryDir dir;
        QFile svg(dir.filePath("logo.svg"));
        QVERIFY(svg.open(QIODevice::WriteOnly));
        svg.write("<svg xmlns='http://www.w3.org/2000/svg' width='64' height='32'>"
                  "<rect width='64' height='32' fill='#f00'/></svg>");
        svg.close();
        Job job("", "", 0);
        const QStringList out = CropImage::cropFile(svg.fileName(), QRectF(0, 0, 0.5, 1), job, [](double) {});
        QCOMPARE(out, QStringList{dir.filePath("logo Cropped.png")});
        const QImage half(out.first());
        QVERIFY(half.width() > 0 && half.width() == half.height()); // the left half of a 2 : 1 drawing
        QCOMPARE(half.pixel(half.width() / 2, half.height() / 2), qRgb(255, 0, 0));

        QFile junk(dir.filePath("junk.jpg"));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write("not a picture");
        junk.close();
        try {
            CropImage::cropFile(junk.fileName(), QRectF(0, 0, 1, 1), job, [](double) {});
            QFAIL("a broken file was cropped");
        } catch (const ConvertError& e) {
            QVERIFY2(e.description().contains("junk.jpg"), qPrintable(e.description()));
        }
        QVERIFY(!QFile::exists(dir.filePath("junk Cropped.jpg")));
    }
};

QTEST_MAIN(CropImageTest)
#include "test_cropimage.moc"
