// What a video result keeps besides its picture and sound: the streams a container cannot hold
// are named, and subtitle cues are cut and scaled the way the picture is.

#include "core/job.h"
#include "engines/media/assscript.h"
#include "engines/media/keptstreams.h"
#include "engines/media/subtitlecues.h"

#include <QtTest>

class KeptStreamsTest : public QObject
{
    Q_OBJECT

  private slots:
    // A stream the result's container cannot hold is named in a note, not dropped in silence.
    void whatCannotBeKeptIsNamed()
    {
        const auto subtitle = [](int index, const QString& codec, const QString& language,
                                 const QString& title) {
            Media::Stream s;
            s.index = index, s.kind = Media::Stream::Kind::subtitle, s.codec = codec;
            s.language = language, s.title = title;
            return s;
        };
        const QList<Media::Stream> streams{subtitle(3, "hdmv_pgs_subtitle", "eng", "English"),
                                           subtitle(4, "subrip", "deu", {}), subtitle(5, "subrip", {}, {})};
        Job job({}, {}, 0);
        const ToolArgs::Extras mp4 = KeptStreams::copied({}, streams, "mp4", {}, {}, job);
        QCOMPARE(mp4.copied.size(), 2);
        QCOMPARE(mp4.copied[0].codec, "mov_text");
        QCOMPARE(job.notes(),
                 (QStringList{"The subtitles “English” (picture subtitles) were left out: MP4 files "
                              "can’t hold them"}));
        Job avi({}, {}, 0);
        QVERIFY(KeptStreams::copied({}, streams, "avi", {}, {}, avi).copied.isEmpty());
        QCOMPARE(avi.notes().value(1), "The subtitles “German” were left out: AVI files can’t hold them");
        QCOMPARE(avi.notes().value(2), "The subtitles “number 3” were left out: AVI files can’t hold them");
        QCOMPARE(KeptStreams::subtitleEncoder("mov_text", "webm"), "webvtt");
        QCOMPARE(KeptStreams::subtitleEncoder("hdmv_pgs_subtitle", "mkv"), "copy");
    }

    // A sound track's language that a QuickTime result can't name is noted only where the result
    // holds the track with its tags.
    void lostLanguageOnlyWhereTheTrackStays()
    {
        Media::Stream maori;
        maori.index = 1, maori.kind = Media::Stream::Kind::audio, maori.language = "mri";
        Media::Stream french = maori;
        french.index = 2, french.language = "fre";
        const QList<Media::Stream> streams{maori, french};
        const auto notes = [&](const QString& ext, const KeptStreams::Carry& carry) {
            Job job({}, {}, 0);
            KeptStreams::copied({}, streams, ext, carry, {}, job);
            return job.notes();
        };
        QCOMPARE(notes("mov", {}),
                 QStringList{"The sound track “Maori” lost its language: QuickTime files can’t name Maori"});
        QCOMPARE(notes("mov", {.sound = false}), QStringList());
        QCOMPARE(notes("mov", {.keepsTags = false}), QStringList());
        QCOMPARE(notes("mkv", {}), QStringList());
    }

    // Cutting keeps what overlaps the range, clipped to it; scaling divides every time.
    void cuesAreCutAndScaled()
    {
        const QList<SubtitleCues::Cue> cues =
            SubtitleCues::parse("1\r\n00:00:01,000 --> 00:00:03,500\r\nA\r\ntwo lines\r\n\r\n"
                                "2\n01:00:00.250 --> 01:00:02.000\nB\n");
        QCOMPARE(cues.size(), 2);
        QCOMPARE(cues[0].text, "A\ntwo lines");
        QCOMPARE(cues[1].start, 3600.25);
        const auto cut = SubtitleCues::cut(cues, 2, 3601);
        QCOMPARE(cut.size(), 2);
        QCOMPARE(cut[0].start, 0.0);
        QCOMPARE(cut[0].end, 1.5);
        QCOMPARE(cut[1].end, 3599.0);
        QVERIFY(SubtitleCues::cut(cues, 3.5, 3600.25).isEmpty());
        QCOMPARE(SubtitleCues::write(SubtitleCues::scaled(cues, 2)).section('\n', 1, 1),
                 "00:00:00,500 --> 00:00:01,750");
    }

    // An ASS or SSA script keeps its header and every field of its events but the times, which
    // are cut like any cue's; commas in the text and the events' own order of fields hold.
    void assEventsAreRetimedWhole()
    {
        const QString ssa =
            QStringLiteral("\xfeff[Script Info]\r\nScriptType: v4.00\r\n\r\n[Events]\r\n"
                           "Format: Marked, Start, End, Style, Name, MarginL, MarginR, MarginV, "
                           "Effect, Text\r\n"
                           "Comment: Marked=0,0:00:00.00,0:00:09.00,Default,,0,0,0,,note\r\n"
                           "Dialogue: Marked=0,0:00:01.00,0:00:02.50,Sign,,0,0,0,,{\\pos(4,2)}A, B\r\n"
                           "Dialogue: Marked=0,bad,0:00:03.00,Default,,0,0,0,,skipped\r\n"
                           "Dialogue: Marked=0,1:00:00.10,1:00:01.00,Default,,0,0,0,,late\r\n");
        const AssScript::Script script = AssScript::parse(ssa);
        QVERIFY(script.header.startsWith("[Script Info]\n"));
        QVERIFY(script.header.endsWith("Effect, Text\n"));
        QCOMPARE(script.events.size(), 2);
        QCOMPARE(script.events[0].text, QString("Marked=0,Sign,,0,0,0,,{\\pos(4,2)}A, B"));
        QCOMPARE(script.events[1].start, 3600.1);
        const QString cut = AssScript::write({script.header, SubtitleCues::cut(script.events, 2, 3600.5)});
        QCOMPARE(cut.section('\n', -3, -2),
                 QString("Dialogue: Marked=0,0:00:00.00,0:00:00.50,Sign,,0,0,0,,{\\pos(4,2)}A, B\n"
                         "Dialogue: Marked=0,0:59:58.10,0:59:58.50,Default,,0,0,0,,late"));
        QVERIFY(AssScript::parse("1\n00:00:01,000 --> 00:00:02,000\nSubRip\n").header.isEmpty());
    }

    // The tags' times are retimed in an event's text field alone, whatever the fields before it
    // hold; an event the cut starts within counts them from its new start.
    void assEventsRetimeTheirTags()
    {
        const QString header =
            "[Script Info]\nScriptType: v4.00+\n\n[Events]\n"
            "Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n";
        const AssScript::Script script = AssScript::parse(
            header +
            "Dialogue: 0,0:00:00.50,0:00:02.00,Default,,0,0,0,{\\fad(500,500)},{\\fad(800,500)}A, B\n"
            "Dialogue: 0,0:00:01.50,0:00:02.00,Default,,0,0,0,,{\\fad(800,500)}C\n"
            "Dialogue: 0,0:00:00.00,0:00:00.50,Default,,0,0,0,,{\\fad(800,500)}gone\n");
        QCOMPARE(script.events.size(), 3);
        const QList<SubtitleCues::Cue> faster = AssScript::scaled(script, 2);
        QCOMPARE(faster[0].text, QString("0,Default,,0,0,0,{\\fad(500,500)},{\\fad(400,250)}A, B"));
        QCOMPARE(faster[0].start, 0.25);
        const QList<SubtitleCues::Cue> cut = AssScript::cut(script, 1, 3);
        QCOMPARE(cut.size(), 2);
        QCOMPARE(cut[0].text, QString("0,Default,,0,0,0,{\\fad(500,500)},{\\fad(300,500)}A, B"));
        QCOMPARE(cut[0].start, 0.0);
        QCOMPARE(cut[1].text, QString("0,Default,,0,0,0,,{\\fad(800,500)}C"));
        QCOMPARE(cut[1].start, 0.5);
    }

    // A file's events are read, and written again, in its events' Format line's order, not its
    // styles'. ffmpeg writes the events it read in its own order whatever that line says, and
    // those it could not read as they were: both come in its order, under a line that says so.
    void assEventsFollowTheirFormatLine()
    {
        const QString header =
            "[V4+ Styles]\nFormat: Name, Fontname\nStyle: Sign,Arial\n\n[Events]\n"
            "Format: Start, End, Layer, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n";
        const AssScript::Script file =
            AssScript::parse(header + "Dialogue: 0:00:01.00,0:00:02.00,1,Sign,,0,0,0,,{\\pos(4,2)}A, B\n");
        QCOMPARE(file.events.value(0).text, QString("1,Sign,,0,0,0,,{\\pos(4,2)}A, B"));
        QCOMPARE(AssScript::write({file.header, AssScript::cut(file, 0.5, 3)}),
                 header + "Dialogue: 0:00:00.50,0:00:01.50,1,Sign,,0,0,0,,{\\pos(4,2)}A, B\n");

        const AssScript::Script ffmpeg =
            AssScript::parse(header + "Dialogue: 1,0:00:01.00,0:00:02.00,Sign,,0,0,0,,A, B\n"
                                      "Dialogue: 0:00:03.00,0:00:04.00,2,Sign,,5,0,0,,C\n",
                             AssScript::Source::Ffmpeg);
        QVERIFY(ffmpeg.header.endsWith("[Events]\nFormat: Layer, Start, End, Style, Name, MarginL, MarginR, "
                                       "MarginV, Effect, Text\n"));
        QCOMPARE(ffmpeg.events.size(), 2);
        QCOMPARE(ffmpeg.events[0].text, QString("1,Sign,,0,0,0,,A, B"));
        QCOMPARE(ffmpeg.events[1].text, QString("2,Sign,,5,0,0,,C"));
        QCOMPARE(ffmpeg.events[1].start, 3.0);
    }
};

QTEST_GUILESS_MAIN(KeptStreamsTest)
#include "test_keptstreams.moc"
