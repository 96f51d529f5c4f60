#include "app/hud.h"

#include "core/hudorigin.h"
#include "core/settings.h"
#include "toolkit/floatingpanel.h"

#include <QDir>
#include <QPainter>
#include <QSettings>
#include <QtTest>

using JobPtr = std::shared_ptr<Job>;

static bool isOrange(QRgb c)
{
    return qRed(c) >= 240 && qGreen(c) >= 60 && qGreen(c) <= 105 && qBlue(c) <= 30;
}
static bool isRed(QRgb c)
{
    return qRed(c) >= 170 && qRed(c) <= 210 && qGreen(c) <= 60 && qBlue(c) <= 50;
}

static int count(const QImage& image, const QRect& area, bool (*test)(QRgb))
{
    const QImage part = image.copy(area); // 32-bit pixels: rows are not padded
    const auto* pixels = reinterpret_cast<const QRgb*>(part.constBits());
    return int(std::count_if(pixels, pixels + part.width() * part.height(), test));
}

static JobPtr job(Job::Phase phase = {}, QStringList results = {}, std::optional<double> part = {},
                  bool bar = true)
{
    auto j = Job::create(QStringLiteral("Converting to MP4"), QStringLiteral("3 files"), 0);
    j->setResults(results);
    j->setProgress(part);
    j->setShowsProgress(bar);
    j->setState({phase, QStringLiteral("disk full")}); // the message counts only when failed
    return j;
}

class HudTest : public QObject
{
    Q_OBJECT

  private slots:
    void timeLeft()
    {
        const std::pair<double, QString> rows[] = {
            {4.9, "Almost done"},        {12.4, "About 12 sec left"}, {12.5, "About 13 sec left"},
            {19.6, "About 20 sec left"}, {22.5, "About 25 sec left"}, {57.6, "About 60 sec left"},
            {60, "About a minute left"}, {89, "About a minute left"}, {90, "About 2 min left"},
            {3599, "About 60 min left"}, {5400, "About 1.5 hr left"}};
        for (const auto& [seconds, text] : rows)
            QCOMPARE(HUDView::timeLeft(seconds), text);
    }

    // The texts, then the pixels: the orange part of the bar's middle row as a fraction of the
    // bar, and the state icon (0 none, 1 orange, 2 red).
    void states()
    {
        using P = Job::Phase;
        const QString title = "Converting to MP4 / ";
        const std::tuple<JobPtr, QString, double, int> rows[] = {
            {job(P::running, {}, 0.42), title + "3 files", 0.42, 0},
            {job(P::done, {"/o/a.mp4"}, 1), title + "Saved a.mp4", 1.0, 1},
            {job(P::done, {"/o/pages/"}, 1), title + "Saved pages", 1.0, 1},
            {job(P::done, {"/a", "/b", "/c"}, 1), title + "3 files", 1.0, 1},
            {job(P::done, {}, 1, false), title + "3 files", 0.0, 1}, // a toast
            {job(P::cancelled, {"/a"}, 0.5), "Cancelled / 3 files", 0.0, 0},
            {job(P::failed, {}, 0.5), "Couldn’t finish / disk full", 0.0, 2},
            {job(P::failed, {}, 1, false), title + "disk full", 0.0, 2}, // a warning toast
        };
        for (const auto& [job, texts, filled, icon] : rows) {
            job->setRemaining(37);
            const HudState s = HUDView::state(*job);
            QCOMPARE(s.headline + " / " + s.subline, texts);
            QCOMPARE(s.timeLeft, job->isRunning() ? "About 35 sec left" : "");
            QImage image(HUDView::panelSize, QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::transparent);
            QPainter painter(&image);
            HUDView::paint(painter, QRectF(image.rect()), s);
            const QRect bar = HUDView::barRect(QRectF(image.rect())).toRect();
            const QRect mark = HUDView::iconRect(QRectF(image.rect())).toRect();
            const int run = count(image, QRect(0, bar.center().y(), image.width(), 1), isOrange);
            QVERIFY2(std::abs(run - filled * bar.width()) <= 3, qPrintable(texts));
            QCOMPARE(count(image, mark, isOrange) > 30, icon == 1);
            QCOMPARE(count(image, mark, isRed) > 30, icon == 2);
        }
    }

    // One failure among several files: the panel keeps the count saved and the failed file's
    // name in view, whatever the message's length.
    void failureAmongSeveralKeepsCountAndName()
    {
        const JobPtr failed =
            Job::create(QStringLiteral("Converting to MOV"), QStringLiteral("2 of 3 saved"), 0);
        failed->setSources({"/in/a.mp4", "/in/b.mp4", "/in/c.mp4"});
        failed->setState(Job::State::failed(
            QStringLiteral("b.mp4: The file can’t be read: it may be damaged or not a media file")));
        const HudState s = HUDView::state(*failed);
        QCOMPARE(s.headline, QString("Couldn’t finish"));
        QImage image(HUDView::panelSize, QImage::Format_ARGB32_Premultiplied);
        const QString shown = HUDView::sublines(s, &image).join(' ');
        QVERIFY2(shown.startsWith("2 of 3 saved") && shown.contains("b.mp4"), qPrintable(shown));
    }

    // A result that landed away from every file of its job names its folder, from "~" inside
    // the home folder; one beside any of them, or of a job given no files, names none.
    void savedElsewhereNamesTheFolder()
    {
        const QString home = QDir::homePath();
        const std::tuple<QStringList, QString, QString> rows[] = {
            {{"/in/a.mov"}, "/in/a.mp4", "Saved a.mp4"},
            {{}, "/o/a.mp4", "Saved a.mp4"},
            {{"/in/a.mov"}, home + "/Pictures/a.mp4", "Saved a.mp4 in ~/Pictures"},
            {{"/in/a.mov"}, home + "/a.mp4", "Saved a.mp4 in ~"},
            {{"/in/a.mov"}, home + "Else/a.mp4", "Saved a.mp4 in " + home + "Else"},
            {{"/in/a.mov"}, "/o/pages/", "Saved pages in /o"},
            {{"/x/b.mov", "/o/a.mov"}, "/o/a.mp4", "Saved a.mp4"},
        };
        for (const auto& [sources, result, line] : rows) {
            const JobPtr done = job(Job::Phase::done, {result}, 1);
            done->setSources(sources);
            QCOMPARE(HUDView::subline(*done), line);
        }
    }

    // A done job's long name takes two lines above its full bar, as a failure's message does
    // without one: the second line is drawn where a short name leaves the card blank.
    void doneShowsTwoLinesAboveTheBar()
    {
        const auto paint = [](const QString& result) {
            const JobPtr done = job(Job::Phase::done, {"/o/" + result}, 1);
            QImage image(HUDView::panelSize, QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::white);
            QPainter painter(&image);
            HUDView::paint(painter, QRectF(image.rect()), HUDView::state(*done));
            return image;
        };
        const auto isInk = [](QRgb c) { return qGray(c) < 170; };
        const QRect secondLine(14, 51, 272, 7);
        const QString name = "Quarterly report for the regional offices, final version with comments.mp4";
        const QImage wrapped = paint(name), single = paint("a.mp4");
        QCOMPARE(count(single, secondLine, isInk), 0);
        // A note on the result follows its name.
        const JobPtr cut = job(Job::Phase::done, {"/o/a.m4a"}, 1);
        cut->addNote("The file is cut short: 9 s of 20 s converted");
        QCOMPARE(HUDView::state(*cut).subline,
                 QString("Saved a.m4a. The file is cut short: 9 s of 20 s converted"));
        // With nothing saved, the notes stand alone: the file name they follow already names it.
        const JobPtr kept = job(Job::Phase::done, {}, 1);
        kept->setDetail("a.pdf");
        kept->addNote("a.pdf is already as small as this level makes it");
        QCOMPARE(HUDView::state(*kept).subline, QString("a.pdf is already as small as this level makes it"));
        QVERIFY(count(wrapped, secondLine, isInk) > 20);
        const QRect bar = HUDView::barRect(QRectF(wrapped.rect()), 2).toRect();
        QVERIFY(std::abs(count(wrapped, QRect(0, bar.center().y(), wrapped.width(), 1), isOrange) -
                         bar.width()) <= 3);
    }

    // A note that names tracks and files is read whole: the finished panel grows a line at a
    // time to hold it, up to a limit past which the middle is cut; a short one keeps the card's size.
    void longNotesAreReadWhole()
    {
        QImage device(HUDView::panelSize, QImage::Format_ARGB32_Premultiplied);
        const JobPtr joined = job(Job::Phase::done, {"/o/holiday clip Joined.mp4"}, 1);
        joined->addNote(
            "The sound track “Director’s commentary (English)” of second holiday clip.mp4 was left "
            "out: not every clip has it");
        joined->addNote("The subtitles “Deutsch” were left out: not every clip has them");
        const HudState s = HUDView::state(*joined);
        const QStringList lines = HUDView::sublines(s, &device);
        QVERIFY2(lines.size() > 2, qPrintable(lines.join('|')));
        QCOMPARE(lines.join(' ').simplified(), s.subline.simplified());
        const QSize grown = HUDView::sizeFor(s, &device);
        QCOMPARE(grown.width(), HUDView::panelSize.width());
        QVERIFY(grown.height() > HUDView::panelSize.height());
        QCOMPARE(HUDView::sizeFor(HUDView::state(*job(Job::Phase::done, {"/o/a.mp4"}, 1)), &device),
                 HUDView::panelSize);
        // Drawn on the grown card, the last line sits above the bar.
        QImage card(grown, QImage::Format_ARGB32_Premultiplied);
        card.fill(Qt::white);
        QPainter painter(&card);
        HUDView::paint(painter, QRectF(card.rect()), s);
        const QRect bar = HUDView::barRect(QRectF(card.rect()), int(lines.size())).toRect();
        QVERIFY(std::abs(count(card, QRect(0, bar.center().y(), card.width(), 1), isOrange) - bar.width()) <=
                3);
        QVERIFY(count(card, QRect(14, bar.top() - 12, 272, 8), [](QRgb c) { return qGray(c) < 170; }) > 20);

        // A note longer than the limit is still cut, in the middle, at the limit.
        const JobPtr endless = job(Job::Phase::done, {"/o/a.mp4"}, 1);
        endless->addNote(QString("All the words of a very long remark. ").repeated(20));
        QCOMPARE(HUDView::sublines(HUDView::state(*endless), &device).size(), HUDView::finishedLines);

        // The panel's window follows its card when the job ends.
        HUD hud;
        const JobPtr running = job();
        hud.show(running, QPointF(400, 500));
        QWidget* window = hud.panel(running->id());
        QCOMPARE(window->size(), HUDView::panelSize);
        running->setResults({"/o/holiday clip Joined.mp4"});
        for (const QString& note : joined->notes())
            running->addNote(note);
        running->setState({Job::Phase::done, {}});
        QTRY_VERIFY(window->height() > HUDView::panelSize.height());
        QCOMPARE(window->findChild<HUDView*>()->size(), window->size());
        QCOMPARE(hud.pendingDismissal(running->id()), 7000); // time to read it
        QVERIFY(static_cast<FloatingPanel*>(window)->shape().contains(QPointF(150, window->height() - 20)));
    }

    // On a 1440 × 900 screen whose top 30 are taken; the stored place is read as the HUD reads
    // it, so a malformed or off-screen one falls back to the drop point.
    void origin()
    {
        const QList<HUD::Screen> desk{{QRectF(0, 0, 1440, 900), QRectF(0, 30, 1440, 870)}};
        const auto at = [](double x, double y) { return QVariant(QVariantList{x, y}); };
        const QPointF drop(700, 500), above(550, 386);
        const std::tuple<std::optional<QPointF>, int, QVariant, QPointF> rows[] = {
            {drop, 0, {}, above},                          // 40 above the drop
            {drop, 1, {}, {550, 304}},                     // the second 82 higher
            {{}, 0, {}, {150, 186}},                       // above the pointer
            {QPointF(1439, 500), 0, {}, {1128, 386}},      // 12 inside the right edge
            {QPointF(700, 60), 2, {}, {550, 42}},          // 12 below the top
            {drop, 0, at(100, 200), {100, 200}},           // saved
            {drop, 2, at(100, 200), {100, 364}},           // later ones go down from the saved place
            {drop, 2, at(100, 780), {100, 900 - 12 - 74}}, // ...and are held 12 above the bottom
            {drop, 0, at(100, 15), {100, 42}},             // a saved place above the top is pulled in
            {drop, 0, at(1450, 200), {1140, 200}},         // ...and one past the right edge
            {drop, 0, at(2000, 200), above},               // its display is gone
            {drop, 0, QVariantList{100.0}, above},         // malformed
            {drop, 0, QStringList{"left", "top"}, above},
            {drop, 0, at(qQNaN(), 200), above},
        };
        for (const auto& [near, index, stored, expected] : rows)
            QCOMPARE(HUD::origin(near, index, HUDOrigin::saved(stored, desk), desk, {300, 300}), expected);
    }

    // Panels keep their places as others close; the close button cancels a running job and
    // closes a finished one; each end is dismissed after its own delay.
    void panelsStackCloseAndKeepTheirPlaces()
    {
        Settings::store()->remove(QStringLiteral("hudOrigin"));
        HUD hud;
        const QPointF drop(400, 500);
        const auto a = job(), b = job(), c = job(), d = job(), toast = job(Job::Phase::done, {}, {}, false);
        const QPoint close = HUDView::closeButtonRect(QRectF(0, 0, 300, 74)).center().toPoint();
        for (const auto& j : {a, b, c})
            hud.show(j, drop);
        QWidget* first = hud.panel(a->id());
        QVERIFY(first->windowFlags().testFlags(Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus));
        // Where no compositor runs the window is cut to the card: its rounded corners let the desktop
        // through.
        const QPainterPath shape = static_cast<FloatingPanel*>(first)->shape();
        QVERIFY(shape.contains(QPointF(150, 37)) && !shape.contains(QPointF(2, 2)) &&
                !shape.contains(QPointF(297, 71)));
        const QPoint third = hud.panel(c->id())->pos();
        QVERIFY(!hud.pendingDismissal(a->id()));

        // Closing a running job cancels it; its end, not the click, closes the panel.
        QTest::mouseClick(hud.panel(a->id())->findChild<HUDView*>(), Qt::LeftButton, {}, close);
        QVERIFY(a->isCancelled());
        QVERIFY(hud.panel(a->id()));
        a->setState({Job::Phase::cancelled, {}});
        QCOMPARE(hud.pendingDismissal(a->id()), 600);
        QTRY_VERIFY_WITH_TIMEOUT(!hud.panel(a->id()), 3000);
        hud.dismiss(a->id());

        // Panels are not restacked: the next one takes index 2, the third one's place.
        hud.show(d, drop);
        QCOMPARE(hud.panel(d->id())->pos(), third);

        b->setState({Job::Phase::done, {}});
        c->setState(Job::State::failed("x"));
        hud.show(toast, drop); // already ended: planned when shown
        QCOMPARE(hud.pendingDismissal(b->id()), 1600);
        QCOMPARE(hud.pendingDismissal(c->id()), 7000);
        QCOMPARE(hud.pendingDismissal(toast->id()), 1600);
        // A finished job's panel closes at once.
        QTest::mouseClick(hud.panel(b->id())->findChild<HUDView*>(), Qt::LeftButton, {}, close);
        QVERIFY(!hud.panel(b->id()));
        QVERIFY(!b->isCancelled());
    }
};

QTEST_MAIN(HudTest)
#include "test_hud.moc"
