// What a join leaves out is read whole in its finished panel: a film with three sound tracks,
// subtitles and a cover joined with a clip that has one sound track and a cover of its own.

#include "app/hudview.h"

#include "../support/enginefixtures_a.h"
#include "../support/streamjudge.h"
#include "core/job.h"
#include "tools/video/join/joinwork.h"

#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

class HudNotesTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    QString path(const QString& name) const { return m_dir.filePath(name); }

  private slots:
    void joinNotesAreReadWhole()
    {
        QVERIFY(Fixture::write(path("film.srt"), "1\n00:00:00,200 --> 00:00:01,000\nHello\n\n"));
        const auto make = [&](const QString& options, const QString& out) {
            return Judge::make(m_dir.path(), options, out);
        };
        QVERIFY(make("-f lavfi -i color=c=red:s=32x32 -frames:v 1", "cover.png"));
        const QString picture = "-f lavfi -i testsrc2=s=160x120:r=25:d=2 ";
        const QString encode = " -c:v:0 libx264 -preset ultrafast -pix_fmt yuv420p -c:a aac -c:v:1 png "
                               "-disposition:v:1 attached_pic";
        QVERIFY(make(picture +
                         "-f lavfi -i sine=f=300:d=2 -f lavfi -i sine=f=400:d=2 -f lavfi -i sine=f=500:d=2 "
                         "-i @film.srt -i @cover.png -map 0 -map 1 -map 2 -map 3 -map 4 -map 5 -c:s mov_text "
                         "-metadata:s:a:0 language=eng -metadata:s:a:1 language=deu -metadata:s:a:2 "
                         "language=fra -metadata:s:s:0 language=eng" +
                         encode,
                     "Our holiday in the mountains.mp4"));
        QVERIFY(make(picture + "-f lavfi -i sine=f=600:d=2 -i @cover.png -map 0 -map 1 -map 2" + encode,
                     "The walk back down to the village.mp4"));

        Job work({}, {}, 0);
        const QString joined = ToolOps::join({path("Our holiday in the mountains.mp4"),
                                              path("The walk back down to the village.mp4")},
                                             work, {})
                                   .value(0);
        const QStringList notes = work.notes();
        // Both tracks, the subtitles and the second clip's cover are named.
        for (const QString named : {"German", "French", "English", "cover picture"})
            QVERIFY2(notes.join(' ').contains(named), qPrintable(notes.join('|')));

        const auto panel = Job::create("Joining videos", "2 files", 0);
        panel->setResults({joined});
        for (const QString& note : notes)
            panel->addNote(note);
        panel->setState({Job::Phase::done, {}});
        const HudState state = HUDView::state(*panel);
        QImage device(HUDView::panelSize, QImage::Format_ARGB32_Premultiplied);
        const QStringList lines = HUDView::sublines(state, &device);
        QVERIFY2(!lines.join(' ').contains(QChar(0x2026)), qPrintable(lines.join('\n')));
        QCOMPARE(lines.join(' ').simplified(), state.subline.simplified());
        for (const QString& note : notes)
            QVERIFY2(state.subline.contains(note), qPrintable(note));
        QCOMPARE(HUDView::sizeFor(state, &device).height() > HUDView::panelSize.height(), true);
    }
};

QTEST_MAIN(HudNotesTest)
#include "test_hudnotes.moc"
