// The Change Speed window's preview: the clip's arguments, a real render whose length and tone
// follow the factor and the pitch choice, the button, and the clip's lifetime: the newest request
// wins, and a render the window closed on never plays or stays.

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

// A player of any file, able to play once the event loop turns; it remembers its file.
class FakePlayer : public VideoPlayer
{
  public:
    explicit FakePlayer(const QString& file) : path(file)
    {
        QTimer::singleShot(0, this, &VideoPlayer::playable);
    }
    void play() override {}
    void pause() override {}
    void setPosition(double) override {}
    double position() const override { return at; }
    const QString path;
    double at = 0;
};

// The strongest frequency from 100 to 3000 Hz in the middle second of the sound of `path`, read
// at 16000 samples a second (`n`, one second of them).
double toneOf(const QString& path)
{
    QProcess p;
    p.start("ffmpeg", {"-v", "error", "-i", path, "-vn", "-ac", "1", "-ar", "16000", "-f", "s16le", "-"});
    if (!p.waitForFinished(limitMs) || p.exitCode() != 0) return 0;
    const QByteArray pcm = p.readAllStandardOutput();
    const qsizetype n = 16000, start = (pcm.size() / 2 - n) / 2;
    if (start < 0) return 0;
    const auto* x = reinterpret_cast<const qint16*>(pcm.constData()) + start;
    double best = 0, bestPower = 0;
    for (double f = 100; f <= 3000; f += 2) { // Goertzel's recurrence for each frequency
        const double k = 2 * std::cos(2 * M_PI * f / n);
        double s1 = 0, s2 = 0;
        for (qsizetype i = 0; i < n; ++i)
            s2 = std::exchange(s1, x[i] + k * s1 - s2);
        if (const double power = s1 * s1 + s2 * s2 - k * s1 * s2; power > bestPower) {
            bestPower = power;
            best = f;
        }
    }
    return best;
}

QStringList previewFiles()
{
    return QDir::temp().entryList({"tolvane-preview-*"}, QDir::Files);
}

} // namespace

class SpeedPreviewTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_clip;  // 30 s, a 440 Hz tone
    QString m_short; // 10 s
    QList<QPointer<FakePlayer>> m_players;

    // The window over `file` with fake players; settled and able to play when `wait`.
    std::unique_ptr<SpeedView> open(const QString& file, bool wait = true)
    {
        m_players.clear();
        VideoModel::Backend b = VideoModel::Backend::standard();
        b.player = [this](const QString& path) { return m_players.emplaceBack(new FakePlayer(path)).data(); };
        auto view = std::make_unique<SpeedView>(
            std::make_shared<ToolContext>(ToolID::changeVideoSpeed, QStringList{file}), b);
        if (wait && !QTest::qWaitFor([&] { return view->isSettled() && view->model().hasPlayer(); }, limitMs))
            return {};
        return view;
    }

    static void choose(SpeedView& view, double speed)
    {
        emit view.speeds()->edited(int(SpeedLabels::offered().indexOf(speed)));
    }

  private slots:
    void initTestCase()
    {
        // Temporary files of their own, so that every preview file can be counted.
        QVERIFY(QDir(m_dir.path()).mkpath("tmp"));
        qputenv("TMPDIR", m_dir.filePath("tmp").toLocal8Bit());
        QCOMPARE(QDir::tempPath(), m_dir.filePath("tmp"));
        m_clip = m_dir.filePath("Tone.mp4");
        m_short = m_dir.filePath("Short.mp4");
        QVERIFY(makeClip(m_clip, 30) && makeClip(m_short, 10));
    }

    // In any locale: the picture timed by the factor, six seconds of it from the playhead, and the
    // sound through atempo filters within 0.5…2 multiplying to the factor, or resampled.
    void clipArguments()
    {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        const QRegularExpression tempo("atempo=([0-9.]+)");
        for (double speed : {0.25, 0.5, 2.0, 4.0})
            for (bool keep : {true, false}) {
                const QString row = QStringLiteral("%1x, keep %2").arg(speed).arg(keep);
                const SpeedClip::Span span = SpeedClip::span(2.5, 90, speed);
                const QStringList a = SpeedClip::args("/in/a.mp4", span, speed, keep, 48000, "/t/o.mp4");
                QCOMPARE(a.mid(0, 6), (QStringList{"-ss", "2.500", "-t", QString::number(6 * speed, 'f', 3),
                                                   "-i", "/in/a.mp4"}));
                const QString g = a.value(a.indexOf("-filter_complex") + 1);
                QVERIFY2(g.startsWith(
                             QStringLiteral(
                                 "[0:v]setpts='if(between(mod(STARTPTS*TB*FRAME_RATE/%1,1),0.5,0.999),"
                                 "round((PTS-STARTPTS)/%1+floor(STARTPTS*TB*FRAME_RATE/%1)/FRAME_RATE/TB),"
                                 "PTS/%1)',fps=source_fps,crop=trunc(iw/2)*2:trunc(ih/2)*2:0:0[v]")
                                 .arg(speed, 0, 'f', 4)),
                         qPrintable(g));
                double product = 1;
                int tempos = 0;
                for (const auto& m : tempo.globalMatch(g)) {
                    const double f = m.captured(1).toDouble();
                    QVERIFY2(f >= 0.5 && f <= 2, qPrintable(g));
                    product *= f;
                    ++tempos;
                }
                const QString rate =
                    QStringLiteral("[0:a]asetrate=48000*%1,aresample=48000[a]").arg(speed, 0, 'f', 4);
                QVERIFY2(keep ? tempos > 0 && std::abs(product - speed) < 1e-3 && !g.contains("asetrate")
                              : tempos == 0 && g.contains(rate),
                         qPrintable(row + ": " + g));
                QVERIFY(a.contains("[a]") && a.last() == "/t/o.mp4");
                // A clip without sound asks for none.
                QVERIFY(!SpeedClip::args("a.mp4", span, speed, keep, std::nullopt, "o.mp4")
                             .join(' ')
                             .contains("a]"));
            }
        QLocale::setDefault(QLocale::c());

        const struct
        {
            double time, duration, speed, from, length;
        } spans[] = {{10, 90, 0.25, 10, 1.5},
                     {88, 90, 2, 88, 2},   // cut at the end
                     {89.8, 90, 2, 0, 12}, // at the end: from the start
                     {0, 0, 2, 0, 0}};     // no length
        for (const auto& s : spans) {
            const SpeedClip::Span got = SpeedClip::span(s.time, s.duration, s.speed);
            QCOMPARE(got.from, s.from);
            QCOMPARE(got.length, s.length);
        }
    }

    // The button reads the chosen factor and can be pressed once the file plays and has a length.
    void button()
    {
        auto view = open(m_clip, false);
        SecondaryButton* b = view->previewButton();
        QCOMPARE(b->text(), QString("Preview at 2x"));
        QCOMPARE(b->symbol(), QString("play.fill"));
        QVERIFY(!b->isEnabled());
        QVERIFY(QTest::qWaitFor([&] { return view->isSettled() && view->model().hasPlayer(); }, limitMs));
        QVERIFY(b->isEnabled());
        choose(*view, 0.25);
        QCOMPARE(b->text(), QString("Preview at .25x"));

        const QString junk = m_dir.filePath("junk.mp4");
        QFile f(junk);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write("no video here") > 0);
        f.close();
        view = open(junk);
        QVERIFY(view && !view->previewButton()->isEnabled()); // a player but no length
    }

    // A real render from 2 s: its length is its stretch of source over the factor, and its tone
    // moves by the factor only when the pitch is to follow.
    void renders()
    {
        const struct
        {
            double speed;
            bool keep;
            double tone;
        } rows[] = {{0.25, true, 440}, {0.5, false, 220}, {2, true, 440}, {4, false, 1760}};
        for (const auto& r : rows) {
            auto view = open(m_clip);
            QVERIFY(view);
            choose(*view, r.speed);
            if (view->pitchBox()->isChecked() != r.keep) view->pitchBox()->click();
            view->model().seek(2);
            view->previewButton()->click();
            QVERIFY(view->preview().isRendering());
            QVERIFY(QTest::qWaitFor([&] { return view->model().isPlayingStandIn(); }, limitMs));
            const QString clip = view->preview().clip();
            QCOMPARE(m_players.value(1)->path, clip);
            QVERIFY(clip.startsWith(QDir::temp().filePath("tolvane-preview-")));
            const double d = probedDuration(clip), heard = toneOf(clip);
            QVERIFY2(std::abs(d - SpeedClip::span(2, 30, r.speed).length / r.speed) < 0.15,
                     qPrintable(QString::number(d)));
            QVERIFY2(std::abs(heard - r.tone) < r.tone * 0.03, qPrintable(QString::number(heard)));
        }
        // Each went with its window, the next piece's render too.
        QVERIFY(QTest::qWaitFor([] { return previewFiles().isEmpty(); }, limitMs));
    }

    // In pieces that play half a second each (2 s of a 10 s file at 4x), the preview plays on
    // from piece to piece to the end of the file, whether or not the next piece is ready when one
    // ends; the playhead moves on, and a piece's file goes once the next has taken over. A pause
    // ends it: nothing more plays and no file stays.
    void playsOnAcrossPieces()
    {
        for (const bool pauseMidway : {false, true}) {
            auto view = open(m_short);
            QVERIFY(view);
            view->preview().setPieceSeconds(0.5);
            choose(*view, 4);
            view->previewButton()->click();
            QStringList played;
            double last = -1;
            while (true) {
                QVERIFY(QTest::qWaitFor(
                    [&] {
                        return view->model().isPlayingStandIn() && !played.contains(view->preview().clip());
                    },
                    limitMs));
                played << view->preview().clip();
                QVERIFY(QFile::exists(played.last()));
                for (const QString& gone : played.mid(0, played.size() - 1))
                    QVERIFY(!QFile::exists(gone));
                FakePlayer* player = nullptr;
                for (FakePlayer* p : m_players)
                    if (p && p->path == played.last()) player = p;
                QVERIFY(player);
                player->at = 0.25;
                view->model().tick();
                QVERIFY(view->model().time() > last);
                last = view->model().time();
                if (pauseMidway && played.size() == 2) {
                    view->model().pause();
                    break;
                }
                if (played.size() % 2 == 0) // the next piece ready before this one ends
                    QVERIFY(QTest::qWaitFor([&] { return !view->preview().isRendering(); }, limitMs));
                player->at = 0.5;
                emit player->ended();
                if (!view->model().isPlaying()) break;
            }
            QVERIFY(QTest::qWaitFor(
                [] { return Pools::preview().activeThreadCount() == 0 && previewFiles().isEmpty(); },
                limitMs));
            QCoreApplication::processEvents();
            QVERIFY(!view->model().isPlaying() && !view->model().isPlayingStandIn());
            if (pauseMidway) {
                QCOMPARE(played.size(), 2);
                QCOMPARE(view->model().time(), last);
            } else {
                QCOMPARE(played.size(), 5);
                QCOMPARE(view->model().time(), 10.0);
            }
        }
    }

    // Asked twice at once, only the second plays; a clip is deleted once the next replaces it
    // and when the window closes.
    void newestWins()
    {
        auto view = open(m_short);
        QVERIFY(view);
        view->previewButton()->click();
        choose(*view, 4);
        view->previewButton()->click();
        QVERIFY(QTest::qWaitFor([&] { return view->model().isPlayingStandIn(); }, limitMs));
        QVERIFY(QTest::qWaitFor([] { return Pools::preview().activeThreadCount() == 0; }, limitMs));
        QCoreApplication::processEvents();
        QCOMPARE(m_players.size(), 2);
        const QString first = view->preview().clip();
        QVERIFY(std::abs(probedDuration(first) - 2.5) < 0.15); // all 10 s at 4x
        QCOMPARE(previewFiles(), QStringList{QFileInfo(first).fileName()});

        view->previewButton()->click();
        QVERIFY(!view->model().isPlaying()); // the clip playing stops at once
        QVERIFY(QTest::qWaitFor([&] { return view->model().isPlayingStandIn(); }, limitMs));
        QVERIFY(!QFile::exists(first));
        QCOMPARE(previewFiles().size(), 1);
        view->windowClosed();
        QVERIFY(!view->model().isPlaying() && previewFiles().isEmpty());
    }

    // A render still under way when the window closes (its view going then or later), the playhead
    // moves or the file is played never plays, and leaves no file; one that fails says why.
    void unwantedRenders()
    {
        using Way = std::function<void(std::unique_ptr<SpeedView>&)>;
        const QList<std::pair<const char*, Way>> ways{
            {"window closed", [](auto& v) { v->windowClosed(); }},
            {"window gone", [](auto& v) { v->windowClosed(), v.reset(); }},
            {"playhead moved", [](auto& v) { v->model().seek(5); }},
            {"file played", [](auto& v) { v->model().togglePlay(std::nullopt); }},
        };
        for (const auto& [name, way] : ways) {
            auto view = open(m_clip);
            QVERIFY2(view, name);
            view->previewButton()->click();
            way(view);
            QVERIFY2(QTest::qWaitFor(
                         [] { return Pools::preview().activeThreadCount() == 0 && previewFiles().isEmpty(); },
                         limitMs),
                     name);
            QCOMPARE(m_players.size(), 1); // the file's own player only
            QVERIFY2(!view || (!view->model().isPlayingStandIn() && view->errorText()->text().isEmpty()),
                     name);
        }

        const QString gone = m_dir.filePath("Gone.mp4");
        QVERIFY(QFile::copy(m_short, gone));
        auto view = open(gone);
        QVERIFY(view && QFile::remove(gone));
        view->previewButton()->click();
        QVERIFY(QTest::qWaitFor([&] { return !view->errorText()->text().isEmpty(); }, limitMs));
        QVERIFY(!view->model().isPlayingStandIn() && !view->preview().isRendering());
        QVERIFY(QTest::qWaitFor([] { return previewFiles().isEmpty(); }, limitMs));
    }
};

QTEST_MAIN(SpeedPreviewTest)
#include "test_speedpreview.moc"
