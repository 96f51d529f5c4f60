// The Metadata window: what it shows for a photo with a location (a HEIC named .jpg too), a PDF
// and several files, when Save Changes is enabled, and the copies its buttons write (an image's
// changed fields, an AIFF's every field, a PDF's five and nothing else, " 2" names, lower-case
// extensions).

#include "core/job.h"
#include "engines/image/imageprops.h"
#include "toolkit/checkbox.h"
#include "toolkit/primarybutton.h"
#include "toolkit/secondarybutton.h"
#include "tools/file/metadata/metadataview.h"
#include "tools/toolwindows.h"

#include <QLineEdit>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <qpdf/QPDF.hh>

#include "../../../support/enginefixtures_a.h"
#include "../../../support/toolharness.h"

namespace {

void writePhoto(const QString& path)
{
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(Qt::yellow);
    QVERIFY(image.save(path, "JPEG"));
    ImageProps props;
    QVERIFY(props.setValue("Exif.Image.Artist", "Ann"));
    QVERIFY(props.setValue("Exif.Image.Make", "Tolvane"));
    QVERIFY(props.setValue("Exif.GPSInfo.GPSLatitudeRef", "N"));
    QVERIFY(props.setValue("Exif.GPSInfo.GPSLatitude", "48/1 51/1 0/1"));
    QVERIFY(props.setValue("Exif.GPSInfo.GPSLongitudeRef", "E"));
    QVERIFY(props.setValue("Exif.GPSInfo.GPSLongitude", "2/1 17/1 0/1"));
    props.embedInto(path);
}

// Clicks `button` and waits for the job it hands over.
std::shared_ptr<Job> click(ToolHarness& harness, QAbstractButton* button)
{
    const qsizetype before = harness.jobs().size();
    button->click();
    if (harness.jobs().size() == before) return nullptr;
    const std::shared_ptr<Job> job = harness.jobs().last();
    return QTest::qWaitFor([&job] { return !job->isRunning(); }, ToolHarness::limitMs) ? job : nullptr;
}

} // namespace

class MetadataViewTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    QString path(const QString& name) const { return m_dir.filePath(name); }

  private slots:
    void photoWithLocation()
    {
        writePhoto(path("trip.JPG"));
        ToolHarness harness;
        auto* view = harness.open<MetadataView>(ToolID::removeMetadata, {path("trip.JPG")});
        QVERIFY(view);
        QCOMPARE(view->editors().size(), 4);
        QCOMPARE(view->editors()[1]->text(), QStringLiteral("Ann"));
        QStringList labels;
        for (const auto& row : view->info())
            labels << row.first;
        QCOMPARE(labels, (QStringList{"Camera", "Size", "Location"}));
        QVERIFY(view->removeLocation());

        QVERIFY(!view->primaryButton()->isEnabled());
        view->editors()[0]->setText("Paris");
        QVERIFY(view->primaryButton()->isEnabled());
        view->editors()[0]->setText("");
        QVERIFY(!view->primaryButton()->isEnabled());
        view->removeLocation()->click();
        QVERIFY(view->primaryButton()->isEnabled());

        const std::shared_ptr<Job> job = harness.apply(*view);
        QVERIFY(job && job->state().phase == Job::Phase::done);
        QCOMPARE(job->results(), QStringList{path("trip Tagged.jpg")});
        const ImageProps saved = ImageProps::read(path("trip Tagged.jpg"));
        QCOMPARE(saved.value("Exif.Image.Artist"), std::optional<QString>("Ann"));
        QVERIFY(!saved.value("Exif.GPSInfo.GPSLatitude"));

        for (const QString& number : {QString(), QStringLiteral(" 2")}) {
            auto* again = harness.open<MetadataView>(ToolID::removeMetadata, {path("trip.JPG")});
            QVERIFY(again);
            const std::shared_ptr<Job> strip = click(harness, again->stripButton());
            QVERIFY(strip && strip->state().phase == Job::Phase::done);
            QCOMPARE(strip->title(), QStringLiteral("Removing metadata"));
            QCOMPARE(strip->results(), QStringList{path("trip No Metadata" + number + ".jpg")});
            QVERIFY(!ImageProps::read(strip->results()[0]).value("Exif.Image.Artist"));
        }
    }

    // A phone's HEIC photo shared under a .jpg name: the window finds its location and the copy
    // it saves has none.
    void heicNamedJpeg()
    {
        QImage picture(40, 30, QImage::Format_RGB32);
        picture.fill(Qt::green);
        QVERIFY(picture.save(path("phone.png")));
        QProcess heifEnc;
        heifEnc.start("heif-enc", {"-q", "80", path("phone.png"), "-o", path("phone.heic")});
        QVERIFY(heifEnc.waitForFinished(60000) && heifEnc.exitCode() == 0);
        QProcess exiftool;
        exiftool.start("exiftool", {"-q", "-overwrite_original", "-SerialNumber=SN-1",
                                    "-GPSLatitude=48.85837", "-GPSLatitudeRef=N", "-GPSLongitude=2.294481",
                                    "-GPSLongitudeRef=E", path("phone.heic")});
        QVERIFY(exiftool.waitForFinished(60000) && exiftool.exitCode() == 0);
        QVERIFY(QFile::rename(path("phone.heic"), path("shared.jpg")));

        ToolHarness harness;
        auto* view = harness.open<MetadataView>(ToolID::removeMetadata, {path("shared.jpg")});
        QVERIFY(view);
        QVERIFY(view->info().contains(
            qMakePair(QStringLiteral("Location"), QStringLiteral("48.8584° N, 2.2945° E"))));
        QVERIFY(view->removeLocation());
        view->removeLocation()->click();
        const std::shared_ptr<Job> job = harness.apply(*view);
        QVERIFY(job && job->state().phase == Job::Phase::done);
        QCOMPARE(job->results(), QStringList{path("shared Tagged.jpg")});
        QProcess report;
        report.start("exiftool", {"-a", "-ee", "-G1", path("shared Tagged.jpg")});
        QVERIFY(report.waitForFinished(60000));
        const QString tags = QString::fromUtf8(report.readAllStandardOutput());
        QVERIFY2(tags.contains("HEIC") && tags.contains("SN-1") && !tags.contains("GPS"), qPrintable(tags));
    }

    // An AIFF of another program with its own chunks only: what is typed in Artist, Album and
    // Year reaches the copy (in an ID3 chunk), and the title stays.
    void aiffTakesEveryField()
    {
        QVERIFY(Fixture::ffmpeg(
            {"-f", "lavfi", "-i", "sine=duration=1", "-metadata", "title=Song", path("song.AIF")}));
        ToolHarness harness;
        auto* view = harness.open<MetadataView>(ToolID::removeMetadata, {path("song.AIF")});
        QVERIFY(view);
        QCOMPARE(view->editors().size(), 6);
        QCOMPARE(view->editors()[0]->text(), QStringLiteral("Song"));
        view->editors()[1]->setText("Ann");
        view->editors()[2]->setText("Road");
        view->editors()[3]->setText("2001");
        const std::shared_ptr<Job> job = harness.apply(*view);
        QVERIFY(job && job->state().phase == Job::Phase::done);
        QCOMPARE(job->results(), QStringList{path("song Tagged.aif")});
        QProcess report;
        report.start("exiftool", {"-a", "-G1", "-s", "-s", path("song Tagged.aif")});
        QVERIFY(report.waitForFinished(60000));
        const QString tags = QString::fromUtf8(report.readAllStandardOutput());
        for (const char* tag : {"[AIFF] Name: Song", "] Title: Song", "] Artist: Ann", "] Album: Road",
                                "] RecordingTime: 2001"})
            QVERIFY2(tags.contains(tag), qPrintable(tag + QStringLiteral(" not in:\n") + tags));
    }

    void pdfAndSeveralFiles()
    {
        {
            QPdfWriter writer(path("doc.pdf"));
            writer.setTitle("Plan");
            QPainter painter(&writer);
        }
        ToolHarness harness;
        auto* pdf = harness.open<MetadataView>(ToolID::removeMetadata, {path("doc.pdf")});
        QVERIFY(pdf);
        QStringList labels;
        for (const MetaField& f : pdf->fields())
            labels << f.label;
        QCOMPARE(labels, (QStringList{"Title", "Author", "Subject", "Keywords", "Creator"}));
        QCOMPARE(pdf->fields()[0].value, QStringLiteral("Plan"));
        QVERIFY(pdf->info().isEmpty() && !pdf->removeLocation());

        QStringList photos;
        for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) {
            writePhoto(path(name));
            photos << path(name);
        }
        auto* many = harness.open<MetadataView>(ToolID::removeMetadata, photos);
        QVERIFY(many);
        QVERIFY(many->editors().isEmpty() && !many->primaryButton());
        const std::shared_ptr<Job> job = click(harness, many->stripButton());
        QVERIFY(job && job->state().phase == Job::Phase::done);
        QCOMPARE(job->results().size(), 3);
        for (const QString& result : job->results())
            QVERIFY(!ImageProps::read(result).value("Exif.GPSInfo.GPSLatitude"));
    }

    // Save Changes gives a PDF's document information the five fields and nothing else; a PDF
    // that could not be read when the window opened is not written, even if it can be now.
    void pdfEditReplacesOrRefuses()
    {
        const auto writePdf = [](const QString& file) {
            QPdfWriter writer(file);
            writer.setTitle("Plan");
            writer.setCreator("Writer");
            QPainter painter(&writer);
        };
        writePdf(path("plan.pdf"));
        QVERIFY(Fixture::write(path("later.pdf"), "not yet a PDF"));
        ToolHarness harness;
        auto* later = harness.open<MetadataView>(ToolID::removeMetadata, {path("later.pdf")});
        auto* plan = harness.open<MetadataView>(ToolID::removeMetadata, {path("plan.pdf")});
        QVERIFY(later && plan);
        writePdf(path("later.pdf"));

        plan->editors()[0]->setText("Plan B");
        const std::shared_ptr<Job> saved = harness.apply(*plan);
        QVERIFY(saved && saved->state().phase == Job::Phase::done);
        QPDF tagged;
        tagged.processFile(QFile::encodeName(path("plan Tagged.pdf")).constData());
        QPDFObjectHandle info = tagged.getTrailer().getKey("/Info");
        QCOMPARE(info.getKeys(), (std::set<std::string>{"/Title", "/Creator"}));
        QCOMPARE(info.getKey("/Title").getUTF8Value(), std::string("Plan B"));

        later->editors()[1]->setText("Ann");
        const std::shared_ptr<Job> refused = harness.apply(*later);
        QVERIFY(refused && refused->state().phase == Job::Phase::failed);
        QCOMPARE(refused->state().message,
                 QStringLiteral("Couldn’t read the details of later.pdf, so they were left as they are"));
        QVERIFY(!QFile::exists(path("later Tagged.pdf")));
    }

    // A copy in which the read-back still finds a location is not kept: the job fails naming it
    // and leaves nothing behind. The reader here reports a place besides what it reads.
    void leftoverLocationKeepsNothing()
    {
        const QString folder = path("leftover"), photo = folder + "/odd.jpg", bin = path("bin");
        QVERIFY(QDir().mkpath(folder) && QDir().mkpath(bin));
        writePhoto(photo);
        const QString exiftool = QStandardPaths::findExecutable("exiftool"),
                      sed = QStandardPaths::findExecutable("sed");
        QVERIFY(!exiftool.isEmpty() && !sed.isEmpty());
        QVERIFY(Fixture::write(bin + "/exiftool", ("#!/bin/sh\n" + exiftool + " \"$@\" | " + sed +
                                                   " 's/\"SourceFile\"/\"XMP-trip:Place\": \"Paris\", &/'\n")
                                                      .toUtf8()));
        QVERIFY(QFile::setPermissions(bin + "/exiftool", QFile::ReadOwner | QFile::ExeOwner));
        qputenv("TOLVANE_SEARCH_PATH", bin.toUtf8());
        const auto restore = qScopeGuard([] { qunsetenv("TOLVANE_SEARCH_PATH"); });

        ToolHarness harness;
        auto* view = harness.open<MetadataView>(ToolID::removeMetadata, {photo});
        QVERIFY(view && view->removeLocation());
        view->removeLocation()->click();
        const std::shared_ptr<Job> job = harness.apply(*view);
        QVERIFY(job && job->state().phase == Job::Phase::failed);
        QCOMPARE(job->state().message,
                 QStringLiteral("Couldn’t remove the location from odd.jpg, so no copy was saved"));
        QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{"odd.jpg"});
    }
};

QTEST_MAIN(MetadataViewTest)
#include "test_metadataview.moc"
