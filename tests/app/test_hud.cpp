#include "app/hud.h"

#include "app/hudview.h"
#include "core/job.h"
#include "core/settings.h"

#include <QCursor>
#include <QImage>
#include <QPainter>
#include <QSettings>
#include <QtTest>

Q_DECLARE_METATYPE(std::optional<QPointF>)

namespace {

using Screens = QList<HUD::Screen>;
const HUD::Screen laptop{QRectF(0, 0, 1440, 900), QRectF(0, 30, 1440, 870)};
const HUD::Screen rightScreen{QRectF(1440, 0, 1920, 1080), QRectF(1440, 0, 1920, 1040)};

bool isOrange(QRgb c) { return qRed(c) >= 240 && qGreen(c) >= 60 && qGreen(c) <= 105 && qBlue(c) <= 30; }
bool isRed(QRgb c) { return qRed(c) >= 170 && qRed(c) <= 210 && qGreen(c) <= 60 && qBlue(c) <= 50; }

int count(const QImage& image, const QRect& area, bool (*test)(QRgb))
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) n += test(image.pixel(x, y));
    return n;
}

QImage painted(const HudState& state)
{
    QImage image(HUDView::panelSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    HUDView::paint(painter, QRectF(QPointF(), HUDView::panelSize), state);
    return image;
}

std::shared_ptr<Job> job(Job::State state = {}, QStringList results = {})
{
    auto j = Job::create(QStringLiteral("Converting to MP4"), QStringLiteral("3 files"), 0);
    j->setResults(results);
    j->setState(state);
    return j;
}

} // namespace

class HudTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { Settings::store()->remove(QStringLiteral("hudOrigin")); }

    void timeLeft_data()
    {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("4.9") << 4.9 << "Almost done";
        QTest::newRow("12.4") << 12.4 << "About 12 sec left";
        QTest::newRow("12.5 half up") << 12.5 << "About 13 sec left";
        QTest::newRow("19.6") << 19.6 << "About 20 sec left";
        QTest::newRow("22.5 half up") << 22.5 << "About 25 sec left";
        QTest::newRow("37") << 37.0 << "About 35 sec left";
        QTest::newRow("57.6") << 57.6 << "About 60 sec left";
        QTest::newRow("60") << 60.0 << "About a minute left";
        QTest::newRow("89") << 89.0 << "About a minute left";
        QTest::newRow("90") << 90.0 << "About 2 min left";
        QTest::newRow("3599") << 3599.0 << "About 60 min left";
        QTest::newRow("5400") << 5400.0 << "About 1.5 hr left";
    }
    void timeLeft()
    {
        QFETCH(double, seconds);
        QFETCH(QString, text);
        QCOMPARE(HUDView::timeLeft(seconds), text);
    }

    void derivedState_data()
    {
        QTest::addColumn<int>("phase");
        QTest::addColumn<QStringList>("results");
        QTest::addColumn<QString>("headline");
        QTest::addColumn<QString>("subline");
        QTest::addColumn<bool>("timeShown");
        QTest::addColumn<int>("icon");
        QTest::addColumn<bool>("bar");
        const auto r = int(Job::Phase::running), d = int(Job::Phase::done), c = int(Job::Phase::cancelled),
                   f = int(Job::Phase::failed);
        const auto none = int(HudState::Icon::none), done = int(HudState::Icon::done),
                   failed = int(HudState::Icon::failed);
        QTest::newRow("running") << r << QStringList() << "Converting to MP4" << "3 files" << true << none << true;
        QTest::newRow("done, one result") << d << QStringList{"/tmp/out/geese.mp4"} << "Converting to MP4"
                                          << "Saved geese.mp4" << false << done << true;
        QTest::newRow("done, one folder") << d << QStringList{"/tmp/out/pages/"} << "Converting to MP4"
                                          << "Saved pages" << false << done << true;
        QTest::newRow("done, three results") << d << QStringList{"/a.mp4", "/b.mp4", "/c.mp4"}
                                             << "Converting to MP4" << "3 files" << false << done << true;
        QTest::newRow("cancelled") << c << QStringList{"/a.mp4"} << "Cancelled" << "3 files" << false << none << false;
        QTest::newRow("failed") << f << QStringList() << "Couldn’t finish" << "disk full" << false << failed << false;
    }
    void derivedState()
    {
        QFETCH(int, phase);
        QFETCH(QStringList, results);
        const auto j = job({Job::Phase(phase), phase == int(Job::Phase::failed) ? "disk full" : ""}, results);
        j->setRemaining(37);
        const HudState s = HUDView::state(*j);
        QTEST(s.headline, "headline");
        QTEST(s.subline, "subline");
        QTEST(!s.timeLeft.isEmpty(), "timeShown");
        QTEST(int(s.icon), "icon");
        QTEST(s.showsBar, "bar");
        QCOMPARE(s.sublineLines, phase == int(Job::Phase::running) ? 1 : 2);

    }

    void origin_data()
    {
        QTest::addColumn<std::optional<QPointF>>("near");
        QTest::addColumn<int>("index");
        QTest::addColumn<std::optional<QPointF>>("saved");
        QTest::addColumn<Screens>("screens");
        QTest::addColumn<QPointF>("expected");
        const std::optional<QPointF> noPoint;
        const QPointF drop(700, 500);
        QTest::newRow("centred 40 above the drop") << std::optional(drop) << 0 << noPoint << Screens{laptop}
                                                   << QPointF(550, 386);
        QTest::newRow("second 82 above") << std::optional(drop) << 1 << noPoint << Screens{laptop} << QPointF(550, 304);
        QTest::newRow("pointer when no drop point") << noPoint << 0 << noPoint << Screens{laptop} << QPointF(150, 186);
        QTest::newRow("right edge") << std::optional(QPointF(1439, 500)) << 0 << noPoint << Screens{laptop}
                                    << QPointF(1440 - 12 - 300, 386);
        QTest::newRow("near the top: 12 below the menu bar") << std::optional(QPointF(700, 60)) << 2 << noPoint
                                                             << Screens{laptop} << QPointF(550, 42);
        QTest::newRow("top wins on a short screen")
            << std::optional(QPointF(50, 50)) << 0 << noPoint << Screens{{QRectF(0, 0, 400, 90), QRectF(0, 0, 400, 90)}}
            << QPointF(12, 12);
        QTest::newRow("second screen") << std::optional(QPointF(2000, 600)) << 0 << noPoint
                                       << Screens{laptop, rightScreen} << QPointF(1850, 486);
        QTest::newRow("no screen") << std::optional(QPointF(700, 500)) << 0 << noPoint << Screens{}
                                   << QPointF(550, 386);

        QTest::newRow("saved") << std::optional(drop) << 0 << std::optional(QPointF(100, 200)) << Screens{laptop}
                               << QPointF(100, 200);
        QTest::newRow("saved, third goes down") << noPoint << 2 << std::optional(QPointF(100, 200)) << Screens{laptop}
                                                << QPointF(100, 364);
        QTest::newRow("saved near the bottom, lower panels held")
            << noPoint << 2 << std::optional(QPointF(100, 780)) << Screens{laptop} << QPointF(100, 900 - 12 - 74);
        QTest::newRow("saved above the top is pulled in") << noPoint << 0 << std::optional(QPointF(100, 15))
                                                         << Screens{laptop} << QPointF(100, 42);
        QTest::newRow("saved past the right edge") << noPoint << 0 << std::optional(QPointF(1450, 200))
                                                  << Screens{laptop} << QPointF(1140, 200);
        QTest::newRow("saved on the second screen") << noPoint << 0 << std::optional(QPointF(3300, 1050))
                                                    << Screens{laptop, rightScreen} << QPointF(3060, 1040 - 86);
    }
    void origin()
    {
        QFETCH(std::optional<QPointF>, near);
        QFETCH(int, index);
        QFETCH(std::optional<QPointF>, saved);
        QFETCH(Screens, screens);
        QFETCH(QPointF, expected);
        QCOMPARE(HUD::origin(near, index, saved, screens, QPointF(300, 300)), expected);
    }

    void savedOrigin_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<bool>("valid");
        QTest::newRow("numbers") << QVariant(QVariantList{100.0, 200.0}) << true;
        QTest::newRow("within the slack") << QVariant(QVariantList{-19.0, 915.0}) << true;
        QTest::newRow("missing") << QVariant() << false;
        QTest::newRow("one number") << QVariant(QVariantList{100.0}) << false;
        QTest::newRow("text") << QVariant(QStringList{"left", "top"}) << false;
        QTest::newRow("a plain string") << QVariant(QStringLiteral("100")) << false;
        QTest::newRow("not finite") << QVariant(QVariantList{qInf(), 200.0}) << false;
        QTest::newRow("display gone") << QVariant(QVariantList{2000.0, 200.0}) << false;
    }
    void savedOrigin()
    {
        QFETCH(QVariant, stored);
        QFETCH(bool, valid);
        const std::optional<QPointF> point = HUD::savedOrigin(stored, Screens{laptop});
        QCOMPARE(point.has_value(), valid);
    }

    void panelsStackAndKeepTheirPlaces()
    {
        HUD hud;
        const QPointF drop(400, 500);
        const auto a = job(), b = job(), c = job(), d = job();
        hud.show(a, drop);
        hud.show(b, drop);
        hud.show(c, drop);
        QWidget* first = hud.panel(a->id());
        QVERIFY(first);
        QCOMPARE(first->size(), HUDView::panelSize);
        const Qt::WindowFlags flags = first->windowFlags();
        QVERIFY(flags.testFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                                Qt::WindowDoesNotAcceptFocus));
        QVERIFY(first->testAttribute(Qt::WA_ShowWithoutActivating));
        QCOMPARE(first->pos(), hud.origin(drop, 0).toPoint());
        QCOMPARE(first->pos(), QPoint(250, 386));
        QCOMPARE(hud.panel(b->id())->pos(), first->pos() - QPoint(0, 82));

        const QPoint third = hud.panel(c->id())->pos();
        hud.dismiss(a->id());
        QVERIFY(!hud.panel(a->id()));
        hud.dismiss(a->id()); // a second dismissal does nothing
        hud.show(d, drop);
        QCOMPARE(hud.order(), (QList<QUuid>{b->id(), c->id(), d->id()}));
        QCOMPARE(hud.panel(d->id())->pos(), third);
    }

    void endingSchedulesDismissal_data()
    {
        QTest::addColumn<int>("phase");
        QTest::addColumn<int>("delay");
        QTest::newRow("done") << int(Job::Phase::done) << 1600;
        QTest::newRow("cancelled") << int(Job::Phase::cancelled) << 600;
        QTest::newRow("failed") << int(Job::Phase::failed) << 7000;
    }
    void endingSchedulesDismissal()
    {
        QFETCH(int, phase);
        HUD hud;
        const auto j = job();
        hud.show(j, QPointF(400, 500));
        QVERIFY(!hud.pendingDismissal(j->id()));
        j->setState({Job::Phase(phase), "x"});
        QTEST(hud.pendingDismissal(j->id()).value_or(-1), "delay");

        // A job that has already ended, such as a toast, is planned when shown.
        const auto toast = job({Job::Phase(phase), "x"});
        toast->setShowsProgress(false);
        hud.show(toast, QPointF(400, 500));
        QTEST(hud.pendingDismissal(toast->id()).value_or(-1), "delay");
    }

    void closeButtonCancelsOrDismisses()
    {
        HUD hud;
        const auto j = job();
        hud.show(j, QPointF(400, 500));
        auto* view = hud.panel(j->id())->findChild<HUDView*>();
        QVERIFY(view);
        const QPoint close = HUDView::closeButtonRect(view->rect()).center().toPoint();
        QTest::mouseClick(view, Qt::LeftButton, {}, close);
        QVERIFY(j->isCancelled());
        QVERIFY(hud.panel(j->id())); // the job's end closes it, not the click

        j->setState({Job::Phase::cancelled, {}});
        QTRY_VERIFY_WITH_TIMEOUT(!hud.panel(j->id()), 3000);

        const auto finished = job({Job::Phase::done, {}});
        hud.show(finished, QPointF(400, 500));
        view = hud.panel(finished->id())->findChild<HUDView*>();
        QTest::mouseClick(view, Qt::LeftButton, {}, close);
        QVERIFY(!hud.panel(finished->id()));
        QVERIFY(!finished->isCancelled());
    }

    void draggingSavesTheOrigin()
    {
        HUD hud;
        const auto j = job();
        hud.show(j, QPointF(400, 500));
        QWidget* panel = hud.panel(j->id());
        const QPoint start = panel->pos();
        QCursor::setPos(200, 200);
        hud.move(panel, HUDView::MovePhase::changed);
        QCursor::setPos(170, 240);
        hud.move(panel, HUDView::MovePhase::changed);
        QCOMPARE(panel->pos(), start + QPoint(-30, 40));
        hud.move(panel, HUDView::MovePhase::ended);
        QCOMPARE(HUD::savedOrigin(), std::optional(QPointF(start + QPoint(-30, 40))));

        // The next stack opens at the saved place, whatever the drop point.
        const auto next = job();
        hud.show(next, QPointF(700, 100));
        QCOMPARE(hud.panel(next->id())->pos(), (start + QPoint(-30, 40 + 82)));

        hud.move(panel, HUDView::MovePhase::reset);
        QVERIFY(!HUD::savedOrigin());
    }

    void paintsRunningBarToItsValue()
    {
        HudState s = HUDView::state(*job());
        s.progress = 0.42;
        const QImage image = painted(s);
        const QRect bar = HUDView::barRect(QRectF(QPointF(), HUDView::panelSize)).toRect();
        const int y = bar.center().y();
        int end = -1;
        for (int x = 0; x < image.width(); ++x)
            if (isOrange(image.pixel(x, y))) end = x;
        QVERIFY2(std::abs(end - (bar.left() + int(0.42 * bar.width()))) <= 2, qPrintable(QString::number(end)));
        QCOMPARE(count(image, HUDView::iconRect(QRectF(image.rect())).toRect(), isOrange), 0);
    }

    void paintsIndeterminateSegment_data()
    {
        QTest::addColumn<double>("phase");
        QTest::newRow("left") << 0.0;
        QTest::newRow("right") << 1.0;
    }
    void paintsIndeterminateSegment()
    {
        QFETCH(double, phase);
        HudState s = HUDView::state(*job());
        s.phase = phase;
        const QImage image = painted(s);
        const QRectF bar = HUDView::barRect(QRectF(image.rect()));
        const double from = bar.left() + phase * 0.7 * bar.width(), to = from + 0.3 * bar.width();
        const int y = int(bar.center().y());
        QVERIFY(isOrange(image.pixel(int((from + to) / 2), y)));
        QVERIFY(!isOrange(image.pixel(int(from) - 4, y)) || phase == 0);
        QVERIFY(!isOrange(image.pixel(int(to) + 4, y)) || phase == 1);
    }

    void paintsEndedStates()
    {
        const QRectF card(QPointF(), HUDView::panelSize);
        const QRect icon = HUDView::iconRect(card).toRect();
        const QRect bar = HUDView::barRect(card).toRect();

        const auto done = job({Job::Phase::done, {}});
        done->setProgress(1);
        QImage image = painted(HUDView::state(*done));
        QVERIFY(count(image, icon, isOrange) > 60);
        QVERIFY(count(image, bar, isOrange) >= bar.width() * 2);

        const auto failed = job(Job::State::failed("The disk is full."));
        failed->setProgress(0.5);
        image = painted(HUDView::state(*failed));
        QVERIFY(count(image, icon, isRed) > 30);
        QCOMPARE(count(image, bar.adjusted(0, -2, 0, 2), isOrange), 0);

        const auto toast = job({Job::Phase::done, {}});
        toast->setShowsProgress(false);
        image = painted(HUDView::state(*toast));
        QVERIFY(count(image, icon, isOrange) > 60);
        QCOMPARE(count(image, bar.adjusted(0, -2, 0, 2), isOrange), 0);
    }
};

QTEST_MAIN(HudTest)
#include "test_hud.moc"
