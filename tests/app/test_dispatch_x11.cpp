// The whole road on a real X server: a Word document dragged from another program, the
// conversions key, a drop on the PDF petal, the job's panel, and the PDF beside the original.

#include "app/appdelegate.h"
#include "app/hud.h"
#include "app/hudview.h"
#include "app/wheelcontroller.h"
#include "app/wheelgeometry.h"
#include "app/wheelmodel.h"
#include "app/wheelpanel.h"
#include "core/catalog.h"
#include "core/job.h"
#include "core/jobs.h"
#include "core/settings.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QUrl>
#include <QWindow>

#include "../support/x11test.h"

namespace {

constexpr int patience = 5000;
constexpr int officePatience = 180000; // LibreOffice's first start on a busy machine

// A Word document written by LibreOffice from a little HTML, with a profile of its own.
bool makeDocx(const QString& folder)
{
    QFile html(folder + "/Letter.html");
    if (!html.open(QIODevice::WriteOnly)) return false;
    html.write("<html><body><h1>Dear Ana</h1><p>The plans are attached.</p></body></html>");
    html.close();
    QTemporaryDir profile;
    QProcess soffice;
    soffice.start("soffice", {"--headless", "--norestore",
                              "-env:UserInstallation=" + QUrl::fromLocalFile(profile.path()).toString(),
                              "--convert-to", "docx:MS Word 2007 XML", "--outdir", folder, html.fileName()});
    return soffice.waitForFinished(officePatience) && html.remove() && QFile::exists(folder + "/Letter.docx");
}

} // namespace

class DispatchX11Test : public ScreenTest
{
    Q_OBJECT
  public:
    using ScreenTest::ScreenTest;

  private slots:
    void initTestCase()
    {
        if (!m_noScreen.isEmpty()) return;
        Settings::store()->clear();
        Settings::shared().reload();
        Settings::shared().setOnboarded(true);
        Settings::shared().setHighlightSound(false);
        QVERIFY(m_dir.isValid());
        QVERIFY(makeDocx(m_dir.path()));
    }

    void docxDroppedOnPdfPetal()
    {
        REQUIRE_SCREEN();
        AppDelegate app;
        app.launch();
        Jobs::setPresenter(
            [](const std::shared_ptr<Job>& job, std::optional<QPointF> at) { HUD::shared().show(job, at); });
        const QString docx = m_dir.filePath("Letter.docx");
        ChildProcess source;
        QByteArray said;
        QVERIFY(startDragSource(source, {docx}, said));

        WheelController& wheel = app.wheel();
        QVERIFY(xdotool({"mousemove", "100", "100", "mousedown", "1", "mousemove", "640", "400"}));
        QVERIFY(xdotool({"keydown", "shift"}));
        QTRY_VERIFY_WITH_TIMEOUT(wheel.isVisible() && wheel.model().mode() == WheelMode::conversions,
                                 patience);
        QVERIFY(xdotool({"keyup", "shift"}));
        QTRY_VERIFY_WITH_TIMEOUT(wheel.panel()->windowHandle() && wheel.panel()->windowHandle()->isExposed(),
                                 patience);

        const QList<WheelItem> items = wheel.model().items();
        const int index = int(items.indexOf(WheelItem::format("pdf")));
        QVERIFY(index >= 0);
        const QPoint over =
            (wheel.anchor() + WheelGeometry::polar(WheelGeometry::labelRadius,
                                                   WheelGeometry::centreAngle(index, int(items.size()))))
                .toPoint();
        QVERIFY(xdotool(QStringList{"mousemove"} + at(over)));
        QTRY_COMPARE_WITH_TIMEOUT(wheel.model().highlighted(), std::optional<int>(index), patience);
        QVERIFY(xdotool({"mouseup", "1"}));

        // The job's panel comes up on screen while LibreOffice works.
        HUD& hud = HUD::shared();
        QTRY_VERIFY_WITH_TIMEOUT(!hud.order().isEmpty(), patience);
        QWidget* panel = hud.panel(hud.order().last());
        QVERIFY(panel);
        QTRY_VERIFY_WITH_TIMEOUT(panel->windowHandle() && panel->windowHandle()->isExposed(), patience);
        const std::shared_ptr<Job> job = panel->findChild<HUDView*>()->job();
        QCOMPARE(job->title(), QString("Converting to PDF"));

        QTRY_VERIFY_WITH_TIMEOUT(!job->isRunning(), officePatience);
        QCOMPARE(job->state().phase, Job::Phase::done);
        const QString pdf = m_dir.filePath("Letter.pdf");
        QCOMPARE(job->results(), QStringList{pdf});
        QFile result(pdf);
        QVERIFY(result.open(QIODevice::ReadOnly));
        QVERIFY(result.read(5) == "%PDF-");
        QVERIFY(QFile::exists(docx));
        QTRY_VERIFY_WITH_TIMEOUT((said += source.readAllStandardOutput()).contains("dropped copy"), patience);
        releaseAll();
    }

  private:
    QTemporaryDir m_dir;
};

X11_TEST_MAIN(DispatchX11Test, QApplication, {"xdotool", "xdotool"}, {"soffice", "libreoffice-writer-nogui"})

#include "test_dispatch_x11.moc"
