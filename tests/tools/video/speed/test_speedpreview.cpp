// The Change Speed window's preview: the clip's arguments at the extreme factors, a real render
// whose length and tone follow the factor and the pitch choice, the button, and the clip's
// lifetime: the newest request wins, and a render the window closed on never plays or stays.

#include "core/toolid.h"
#include "toolkit/checkbox.h"
#include "toolkit/pools.h"
#include "toolkit/secondarybutton.h"
#include "toolkit/segmented.h"
#include "toolkit/toolcontext.h"
#include "tools/video/speed/speedclip.h"
#include "tools/video/speed/speedlabels.h"
#include "tools/video/speed/speedpreview.h"
#include "tools/video/speed/speedview.h"

#include <QDir>
#include <QLabel>
#include <QLocale>
#include <QPointer>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>
#include <QTimer>
#include <cmath>

#include "../../../support/videoclip.h"

namespace {

constexpr int limitMs = 60000;

// A player of any file that can play as soon as the event loop turns; it remembers its file.
class FakePlayer : public VideoPlayer
{
  public:
    explicit FakePlayer(const QString& file) : path(file)
    {
        QTimer::singleShot(0, this, [this] { emit playable(); });
    }
    void play() override { playing = true; }
    void pause() override { playing = false; }
    void setPosition(double seconds) override { at = seconds; }
    double position() const override { return at; }
    const QString path;
    double at = 0;
    bool playing = false;
};

// ffmpeg's probe and stills, and fake players whose making is counted.
struct Players
{
    QList<QPointer<FakePlayer>> made;
    VideoModel::Backend backend()
    {
        VideoModel::Backend b = VideoModel::Backend::standard();
        b.player = [this](const QString& path) -> VideoPlayer* {
            auto* p = new FakePlayer(path);
            made << p;
            return p;
        };
        return b;
    }
};

// The strongest frequency between 100 and 3000 Hz of the mono sound of `path`, decoded at 16 kHz,
// over its middle second; 0 when it cannot be read.
double toneOf(const QString& path)
{
    QProcess p;
    p.start(QStringLiteral("ffmpeg"),
            {"-v", "error", "-i", path, "-vn", "-ac", "1", "-ar", "16000", "-f", "s16le", "-"});
    if (!p.waitForFinished(60000) || p.exitCode() != 0) return 0;
    const QByteArray pcm = p.readAllStandardOutput();
    const auto* samples = reinterpret_cast<const qint16*>(pcm.constData());
    const qsizetype count = pcm.size() / 2, window = 16000;
    if (count < window) return 0;
    const qsizetype start = (count - window) / 2;
    double best = 0, bestPower = 0;
    for (double f = 100; f <= 3000; f += 2) {
        // Goertzel's recurrence: the power of one frequency.
        const double k = 2 * std::cos(2 * M_PI * f / 16000);
        double s1 = 0, s2 = 0;
        for (qsizetype i = 0; i < window; ++i) {
            const double s = samples[start + i] + k * s1 - s2;
            s2 = s1;
            s1 = s;
        }
        const double power = s1 * s1 + s2 * s2 - k * s1 * s2;
        if (power > bestPower) {
            bestPower = power;
            best = f;
        }
    }
    return best;
}

QStringList previewFiles()
{
    return QDir::temp().entryList({QStringLiteral("tolvane-preview-*")}, QDir::Files);
}

} // namespace

class SpeedPreviewTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_clip;  // 30 s, a 440 Hz tone
    QString m_short; // 10 s

    // The window over `file` with fake players, settled and able to play.
    std::unique_ptr<SpeedView> open(Players& players, const QString& file)
    {
        auto view = std::make_unique<SpeedView>(
            std::make_shared<ToolContext>(ToolID::changeVideoSpeed, QStringList{file}), players.backend());
        if (!QTest::qWaitFor([&] { return view->isSettled() && view->model().hasPlayer(); }, limitMs))
            return {};
        return view;
    }

    void choose(SpeedView& view, double speed)
    {
        emit view.speeds()->edited(int(SpeedLabels::offered().indexOf(speed)));
    }

  private slots:
    void initTestCase()
    {
        // A folder of its own for the temporary files, so that every preview file can be counted.
        QVERIFY(QDir(m_dir.path()).mkpath("tmp"));
        qputenv("TMPDIR", m_dir.filePath("tmp").toLocal8Bit());
        QCOMPARE(QDir::tempPath(), m_dir.filePath("tmp"));
        m_clip = m_dir.filePath("Tone.mp4");
        m_short = m_dir.filePath("Short.mp4");
        QVERIFY(makeClip(m_clip, 30));
        QVERIFY(makeClip(m_short, 10));
    }

    // Whatever the locale, the picture is timed by the factor and the sound's chain multiplies to
    // it, one atempo within 0.5…2 at a time, or resamples when the pitch is to follow.
    void clipArguments_data()
    {
        QTest::addColumn<double>("speed");
        QTest::addColumn<bool>("keepPitch");
        QTest::addColumn<QString>("length");
        for (bool keep : {true, false}) {
            const char* name = keep ? "kept" : "following";
            QTest::addRow("quarter, pitch %s", name) << 0.25 << keep << "1.500";
            QTest::addRow("half, pitch %s", name) << 0.5 << keep << "3.000";
            QTest::addRow("double, pitch %s", name) << 2.0 << keep << "12.000";
            QTest::addRow("fourfold, pitch %s", name) << 4.0 << keep << "24.000";
        }
    }

    void clipArguments()
    {
        QFETCH(double, speed);
        QFETCH(bool, keepPitch);
        QFETCH(QString, length);
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        const QStringList args = SpeedClip::args("/in/clip.mp4", SpeedClip::span(2.5, 90, speed), speed,
                                                 keepPitch, 48000, "/tmp/o.mp4");
        const QStringList silent = SpeedClip::args("/in/clip.mp4", SpeedClip::span(2.5, 90, speed), speed,
                                                   keepPitch, std::nullopt, "o.mp4");
        QLocale::setDefault(QLocale::c());
        QCOMPARE(args.mid(0, 6), (QStringList{"-ss", "2.500", "-t", length, "-i", "/in/clip.mp4"}));
        QCOMPARE(args.last(), QString("/tmp/o.mp4"));
        const QString graph = args.value(args.indexOf("-filter_complex") + 1);
        QVERIFY2(graph.startsWith(QStringLiteral("[0:v]setpts=PTS/%1[v]").arg(speed, 0, 'f', 4)),
                 qPrintable(graph));
        QVERIFY(args.contains("[a]"));
        const QRegularExpression tempo(QStringLiteral("atempo=([0-9.]+)"));
        double product = 1;
        int tempos = 0;
        for (const auto& m : tempo.globalMatch(graph)) {
            const double f = m.captured(1).toDouble();
            QVERIFY2(f >= 0.5 && f <= 2, qPrintable(graph));
            product *= f;
            ++tempos;
        }
        if (keepPitch) {
            QVERIFY2(tempos > 0 && std::abs(product - speed) < 1e-3, qPrintable(graph));
            QVERIFY(!graph.contains("asetrate"));
        } else {
            QCOMPARE(tempos, 0);
            QVERIFY2(graph.contains(
                         QStringLiteral("[0:a]asetrate=48000*%1,aresample=48000[a]").arg(speed, 0, 'f', 4)),
                     qPrintable(graph));
        }
        // A clip without sound asks for none.
        QVERIFY(!silent.contains("[a]"));
        QVERIFY(!silent.join(' ').contains("0:a"));
    }

    void spans_data()
    {
        QTest::addColumn<double>("time");
        QTest::addColumn<double>("duration");
        QTest::addColumn<double>("speed");
        QTest::addColumn<double>("from");
        QTest::addColumn<double>("length");
        QTest::newRow("from the playhead") << 10.0 << 90.0 << 2.0 << 10.0 << 12.0;
        QTest::newRow("slowed") << 10.0 << 90.0 << 0.25 << 10.0 << 1.5;
        QTest::newRow("cut at the end") << 88.0 << 90.0 << 2.0 << 88.0 << 2.0;
        QTest::newRow("at the end: from the start") << 89.8 << 90.0 << 2.0 << 0.0 << 12.0;
        QTest::newRow("shorter than the stretch") << 0.0 << 5.0 << 4.0 << 0.0 << 5.0;
        QTest::newRow("no length") << 0.0 << 0.0 << 2.0 << 0.0 << 0.0;
    }

    void spans()
    {
        QFETCH(double, time);
        QFETCH(double, duration);
        QFETCH(double, speed);
        const SpeedClip::Span s = SpeedClip::span(time, duration, speed);
        QTEST(s.from, "from");
        QTEST(s.length, "length");
    }

    // The button reads the chosen factor and can be pressed only once the file plays and has a
    // length.
    void button()
    {
        Players players;
        auto view = std::make_unique<SpeedView>(
            std::make_shared<ToolContext>(ToolID::changeVideoSpeed, QStringList{m_clip}), players.backend());
        SecondaryButton* b = view->previewButton();
        QCOMPARE(b->text(), QString("Preview at 2x"));
        QCOMPARE(b->symbol(), QString("play.fill"));
        QVERIFY(!b->isEnabled()); // nothing known yet
        QVERIFY(QTest::qWaitFor([&] { return view->isSettled() && view->model().hasPlayer(); }, limitMs));
        QVERIFY(b->isEnabled());
        choose(*view, 0.25);
        QCOMPARE(b->text(), QString("Preview at .25x"));
        choose(*view, 1.5);
        QCOMPARE(b->text(), QString("Preview at 1.5x"));

        // A player but no length.
        const QString junk = m_dir.filePath("junk.mp4");
        QFile f(junk);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write("no video here") > 0);
        f.close();
        Players others;
        auto broken = open(others, junk);
        QVERIFY(broken);
        QVERIFY(!broken->previewButton()->isEnabled());
    }

    // A real render from 2 s: it lasts its stretch of source divided by the factor, and its tone
    // moves by the factor only when the pitch is to follow.
    void renders_data()
    {
        QTest::addColumn<double>("speed");
        QTest::addColumn<bool>("keepPitch");
        QTest::addColumn<double>("tone");
        QTest::newRow(".25x, pitch kept") << 0.25 << true << 440.0;
        QTest::newRow(".5x, pitch following") << 0.5 << false << 220.0;
        QTest::newRow("2x, pitch kept") << 2.0 << true << 440.0;
        QTest::newRow("4x, pitch following") << 4.0 << false << 1760.0;
    }

    void renders()
    {
        QFETCH(double, speed);
        QFETCH(bool, keepPitch);
        QFETCH(double, tone);
        Players players;
        auto view = open(players, m_clip);
        QVERIFY(view);
        choose(*view, speed);
        if (view->pitchBox()->isChecked() != keepPitch) view->pitchBox()->click();
        view->model().seek(2);
        view->previewButton()->click();
        QVERIFY(view->preview().isRendering());
        QVERIFY(QTest::qWaitFor([&] { return view->model().isPlayingStandIn(); }, limitMs));
        QVERIFY2(view->errorText()->text().isEmpty(), qPrintable(view->errorText()->text()));
        const QString clip = view->preview().clip();
        QVERIFY(clip.startsWith(QDir::temp().filePath("tolvane-preview-")));
        QCOMPARE(players.made.size(), 2);
        QCOMPARE(players.made.last()->path, clip);
        QVERIFY(view->model().isPlaying());

        const double expected = SpeedClip::span(2, 30, speed).length / speed;
        const double d = probedDuration(clip);
        QVERIFY2(std::abs(d - expected) < 0.15, qPrintable(QString::number(d)));
        const double heard = toneOf(clip);
        QVERIFY2(std::abs(heard - tone) < tone * 0.03, qPrintable(QString::number(heard)));

        view->windowClosed();
        view.reset();
        QVERIFY(!QFile::exists(clip));
    }

    // Asked twice at once, only the second plays; a clip is deleted once the next one replaces it
    // and when the window closes.
    void newestWins()
    {
        Players players;
        auto view = open(players, m_short);
        QVERIFY(view);
        choose(*view, 2);
        view->previewButton()->click();
        choose(*view, 4);
        view->previewButton()->click();
        QVERIFY(QTest::qWaitFor([&] { return view->model().isPlayingStandIn(); }, limitMs));
        QVERIFY(Pools::preview().waitForDone(limitMs));
        QCoreApplication::processEvents();
        QCOMPARE(players.made.size(), 2);
        const QString first = view->preview().clip();
        const double d = probedDuration(first);
        QVERIFY2(std::abs(d - 2.5) < 0.15, qPrintable(QString::number(d))); // 10 s at 4x
        QCOMPARE(previewFiles().size(), 1);

        choose(*view, 0.5);
        view->previewButton()->click();
        QVERIFY(!view->model().isPlaying()); // the clip playing stops at once
        QVERIFY(QTest::qWaitFor([&] { return view->model().isPlayingStandIn(); }, limitMs));
        QVERIFY(view->preview().clip() != first);
        QVERIFY(!QFile::exists(first));
        QCOMPARE(previewFiles().size(), 1);

        view->windowClosed();
        QVERIFY(!view->model().isPlaying());
        view.reset();
        QVERIFY(previewFiles().isEmpty());
    }

    // A render still under way when the window closes (its view going then or later), the playhead
    // moves or the file is played never plays, and leaves no file behind; one that fails says why.
    void unwantedRenders()
    {
        const QList<std::pair<const char*, std::function<void(std::unique_ptr<SpeedView>&)>>> ways{
            {"window closed", [](std::unique_ptr<SpeedView>& v) { v->windowClosed(); }},
            {"window gone",
             [](std::unique_ptr<SpeedView>& v) {
                 v->windowClosed();
                 v.reset();
             }},
            {"playhead moved", [](std::unique_ptr<SpeedView>& v) { v->model().seek(5); }},
            {"file played", [](std::unique_ptr<SpeedView>& v) { v->model().togglePlay(std::nullopt); }},
        };
        for (const auto& [name, way] : ways) {
            Players players;
            auto view = open(players, m_clip);
            QVERIFY2(view, name);
            view->previewButton()->click();
            way(view);
            QVERIFY2(QTest::qWaitFor([] { return Pools::preview().activeThreadCount() == 0; }, limitMs),
                     name);
            QVERIFY2(QTest::qWaitFor([] { return previewFiles().isEmpty(); }, limitMs), name);
            QCOMPARE(players.made.size(), 1); // the file's own player only
            if (view) {
                QVERIFY2(!view->model().isPlayingStandIn(), name);
                QVERIFY2(!view->preview().isRendering(), name);
                QVERIFY2(view->errorText()->text().isEmpty(), name);
            }
        }

        const QString gone = m_dir.filePath("Gone.mp4");
        QVERIFY(QFile::copy(m_short, gone));
        Players players;
        auto view = open(players, gone);
        QVERIFY(view);
        QVERIFY(QFile::remove(gone));
        view->previewButton()->click();
        QVERIFY(QTest::qWaitFor([&] { return !view->errorText()->text().isEmpty(); }, limitMs));
        QVERIFY(!view->model().isPlayingStandIn());
        QVERIFY(!view->preview().isRendering());
        QVERIFY(QTest::qWaitFor([] { return previewFiles().isEmpty(); }, limitMs));
    }
};

QTEST_MAIN(SpeedPreviewTest)
#include "test_speedpreview.moc"
