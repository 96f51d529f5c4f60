// The image tools' one road to a copy: a cancel at any point before the commit leaves nothing and
// ends the job as cancelled; a file gone or a failed edit is said plainly and leaves nothing.

#include "core/converterror.h"
#include "core/job.h"
#include "core/jobs.h"
#include "toolkit/imagetools.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

namespace {

// What a step of the road does to the job.
enum class CancelAt { nowhere, inTransform, afterTransform };

QStringList everything(const QString& dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
}

// A copy that halves the picture, cancelling the job where `at` says.
QString halve(const QString& file, Job& job, CancelAt at)
{
    const Progress progress = [&job, at](double p) {
        if (at == CancelAt::afterTransform && p >= 0.8) job.cancel();
    };
    return ImageTools::editCopy(file, "Half", job, progress, [&job, at](const QImage& image) {
        if (at == CancelAt::inTransform) job.cancel();
        return image.scaled(image.size() / 2);
    });
}

} // namespace

class EditCopyTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_photo;

  private slots:
    void initTestCase()
    {
        QImage picture(80, 60, QImage::Format_RGB32);
        picture.fill(Qt::darkCyan);
        m_photo = m_dir.filePath("photo.png");
        QVERIFY(picture.save(m_photo));
    }

    // Cancelled inside the edit, or after it while the copy is being written: no copy and no
    // hidden temporary file, the caller hears "Cancelled", and a job run ends cancelled with
    // no results. Left alone, the copy is written.
    void cancelLeavesNothing()
    {
        for (const CancelAt at : {CancelAt::inTransform, CancelAt::afterTransform}) {
            Job job("", "", 0);
            try {
                halve(m_photo, job, at);
                QFAIL("a cancelled copy was committed");
            } catch (const ConvertError& e) {
                QVERIFY(e.isCancelled());
            }
            QCOMPARE(everything(m_dir.path()), QStringList{"photo.png"});

            const std::shared_ptr<Job> run =
                Jobs::run("Halving", {m_photo}, std::nullopt,
                          [at](const QString& file, Job& job, const Progress&) -> QStringList {
                              return {halve(file, job, at)};
                          });
            QTRY_VERIFY_WITH_TIMEOUT(!run->isRunning(), 60000);
            QCOMPARE(int(run->state().phase), int(Job::Phase::cancelled));
            QVERIFY(run->results().isEmpty());
            QCOMPARE(everything(m_dir.path()), QStringList{"photo.png"});
        }
        Job job("", "", 0);
        const QString copy = halve(m_photo, job, CancelAt::nowhere);
        QCOMPARE(copy, m_dir.filePath("photo Half.png"));
        QCOMPARE(QImage(copy).size(), QSize(40, 30));
        QVERIFY(QFile::remove(copy));
    }

    // A file gone since the drop, and an edit that fails, name their cause and leave nothing.
    void failuresLeaveNothing()
    {
        Job job("", "", 0);
        const Progress ignored = [](double) {};
        const auto failure = [&](const QString& file, const std::function<QImage(const QImage&)>& edit) {
            try {
                ImageTools::editCopy(file, "Edited", job, ignored, edit);
            } catch (const ConvertError& e) {
                return e.description();
            }
            return QString("no failure");
        };
        const auto same = [](const QImage& image) { return image; };
        QCOMPARE(failure(m_dir.filePath("gone.jpg"), same), QString("gone.jpg is no longer there"));
        QCOMPARE(
            failure(m_photo, [](const QImage&) -> QImage { throw ConvertError::failed("Couldn’t crop"); }),
            QString("Couldn’t crop"));
        QCOMPARE(failure(m_photo, [](const QImage&) { return QImage(); }),
                 QString("Couldn’t make the copy of photo.png"));
        QCOMPARE(everything(m_dir.path()), QStringList{"photo.png"});
    }
};

QTEST_MAIN(EditCopyTest)
#include "test_editcopy.moc"
