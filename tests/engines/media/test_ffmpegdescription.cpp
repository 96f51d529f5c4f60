// How ffmpeg describes what it read and wrote, line by line as it runs: the source's length and
// streams, the result's streams and its closing statistics, read so that no tag of the file can
// pose as one of its lines.

#include "engines/media/ffmpegdescription.h"

#include <QtTest>
#include <initializer_list>

class FfmpegDescriptionTest : public QObject
{
    Q_OBJECT

  private slots:
    // How ffmpeg describes what it read and wrote. The file's own tags are printed in between and
    // must never pass for a stream or an output.
    void description()
    {
        const QStringList lines = QString(R"(Input #0, mov,mp4,m4a,3gp,3g2,mj2, from 'in.mp4':
  Metadata:
    title           : one
                    : Output #0, mp3, to 'elsewhere':
  Duration: 00:01:02.50, start: 0.000000, bitrate: 1411 kb/s
  Chapters:
    Chapter #0:0: start 0.000000, end 2.000000
      Metadata:
        title           : Intro
                        :     Chapter #0:7: start 2.000000, end 9.000000
    Chapter #0:1: start 2.000000, end 62.500000
  Stream #0:0[0x1](und): Video: png, rgb24(pc), 64x64, 90k tbr, 90k tbn (attached pic)
  Stream #0:1[0x2](eng): Video: h264 (High) (avc1 / 0x31637661), yuv420p, 320x240, 25 fps
    Metadata:
      comment         : Stream #0:3: Audio: opus
  Stream #0:2(und): Audio: aac (LC) (mp4a / 0x6134706D), 44100 Hz, stereo, fltp, 128 kb/s
Stream mapping:
  Stream #0:1 -> #0:0 (h264 (native) -> h264 (libx264))
Output #0, mp4, to 'out.mp4':
  Metadata:
    comment         : one
                    :   Stream #0:1: Audio: aac
  Stream #0:0: Video: h264 (avc1 / 0x31637661), yuv420p(progressive), 320x240, q=2-31, 25 fps)")
                                      .split('\n');
        FfmpegDescription said;
        QList<int> completedAt;
        for (int i = 0; i < lines.size(); ++i)
            if (said.add(lines[i])) completedAt << i;
        QCOMPARE(completedAt, QList<int>{16});
        QVERIFY(said.input);
        QCOMPARE(said.input->duration, 62.5);
        QCOMPARE(said.inputChapters, 2);
        QCOMPARE(said.input->videoCodec, std::optional<QString>("h264"));
        QCOMPARE(said.input->audioCodec, std::optional<QString>("aac"));
        QCOMPARE(said.outputFormat, QString("mp4"));
        QVERIFY(said.outputVideo && !said.outputAudio);

        FfmpegDescription unstated;
        for (const QString line :
             {"Input #0, matroska,webm, from 'live.mkv':", "  Duration: N/A, start: 0.000000",
              "  Stream #0:0: Audio: opus, 48000 Hz, stereo, fltp", "Stream mapping:"})
            unstated.add(line);
        QVERIFY(unstated.input && unstated.input->duration == 0 && unstated.input->audioCodec == "opus");

        // Matroska and QuickTime files state when they end: one whose times start at 5 s lasts 3 s.
        // A transport stream states its length, whatever its start.
        for (const auto& [format, length] :
             {std::pair{"matroska,webm", 3.0}, std::pair{"mov,mp4,m4a,3gp,3g2,mj2", 3.0},
              std::pair{"mpegts", 8.0}}) {
            FfmpegDescription late;
            for (const QString& line :
                 {QStringLiteral("Input #0, %1, from 'late':").arg(format),
                  QStringLiteral("  Duration: 00:00:08.00, start: 5.000000, bitrate: 90 kb/s"),
                  QStringLiteral("  Stream #0:0: Audio: aac, 48000 Hz, stereo, fltp"),
                  QStringLiteral("Stream mapping:")})
                late.add(line);
            QVERIFY2(late.input && qAbs(late.input->duration - length) < 1e-9, format);
        }
        QVERIFY(!said.inputPlain); // a cover, and a language

        // Whether the source holds nothing beside one picture and sound that a GIF would have to
        // name as left out.
        const QString picture =
            "  Stream #0:0: Video: h264 (High), yuv420p, 320x240, 25 fps, 25 tbr (default)";
        const QString sound = "  Stream #0:1(und): Audio: aac (LC), 48000 Hz, stereo, fltp (default)";
        for (const auto& [streams, plain] : std::initializer_list<std::pair<QStringList, bool>>{
                 {{picture}, true},
                 {{picture, sound, "    Metadata:", "      comment         : Stream #0:2: Subtitle: ass"},
                  true},
                 {{picture, "  Stream #0:1[0x2](eng): Audio: aac (LC), 48000 Hz, stereo"}, false},
                 {{picture, sound, "  Stream #0:2: Subtitle: subrip"}, false},
                 {{picture, "  Stream #0:1: Attachment: ttf"}, false},
                 {{picture, "  Stream #0:1: Video: mjpeg, yuvj420p, 96x96, 90k tbn (attached pic)"}, false},
                 {{picture, picture}, false},
                 {{picture, "  Stream #0:1: Audio: "}, false},
                 {{sound}, false}}) {
            FfmpegDescription d;
            for (const QString& line : QStringList{"Input #0, matroska,webm, from 'in.mkv':",
                                                   "  Duration: 00:00:03.00, start: 0.000000"} +
                                           streams + QStringList{"Stream mapping:"})
                d.add(line);
            QVERIFY2(d.input && d.inputPlain == plain, qPrintable(streams.join('\n')));
        }
    }

    // ffmpeg's closing statistics, as 5.1 writes them at level verbose, tied to the output's
    // description and the stream mapping: each stream asked for must show it is whole on its own.
    void statistics_data()
    {
        QTest::addColumn<QString>("transcript");
        QTest::addColumn<bool>("video");
        QTest::addColumn<bool>("audio");
        QTest::addColumn<bool>("whole");
        // A stream copy of a 2 s clip and a re-encode of a 3 s one, as real runs wrote them; a line of
        // a decoder thread may come in between.
        const QString copied = R"(Input #0, matroska,webm, from 'clip.mkv':
  Duration: 00:00:02.02, start: 0.000000, bitrate: 766 kb/s
  Stream #0:0: Video: h264 (Constrained Baseline), yuv420p(progressive, left), 320x240, 25 fps, 25 tbr, 1k tbn
  Stream #0:1: Audio: aac (LC), 44100 Hz, mono, fltp
Output #0, mp4, to 'out.mp4':
  Metadata:
    comment         : one
                    :   Output stream #0:1 (audio): 88 packets muxed (17620 bytes);
  Stream #0:0: Video: h264 (Constrained Baseline) (avc1 / 0x31637661), yuv420p, 320x240, q=2-31, 25 fps, 16k tbn
  Stream #0:1: Audio: aac (LC) (mp4a / 0x6134706D), 44100 Hz, mono, fltp
Stream mapping:
  Stream #0:0 -> #0:0 (copy)
  Stream #0:1 -> #0:1 (copy)
[mp4 @ 0x55b5c32f6300] Starting second pass: moving the moov atom to the beginning of the file
video:170kB audio:17kB subtitle:0kB other streams:0kB global headers:0kB muxing overhead: 1.424642%
Input file #0 (clip.mkv):
  Input stream #0:0 (video): 50 packets read (174358 bytes); 
  Input stream #0:1 (audio): 88 packets read (17620 bytes); 
  Total: 138 packets (191978 bytes) demuxed
Output file #0 (out.mp4):
  Output stream #0:0 (video): 50 packets muxed (174358 bytes); 
  Output stream #0:1 (audio): 88 packets muxed (17620 bytes); 
  Total: 138 packets (191978 bytes) muxed)";
        const QString encoded = R"(Input #0, matroska,webm, from 'short.webm':
  Duration: 00:00:03.01, start: -0.007000, bitrate: 879 kb/s
  Stream #0:0: Video: vp9 (Profile 0), yuv420p(tv, progressive), 640x360, SAR 1:1 DAR 16:9, 30 fps, 30 tbr, 1k tbn
  Stream #0:1: Audio: opus, 48000 Hz, mono, fltp, delay 312
Stream mapping:
  Stream #0:0 -> #0:0 (vp9 (native) -> h264 (libx264))
  Stream #0:1 -> #0:1 (opus (native) -> aac (native))
[graph 0 input from stream 0:0 @ 0x5597c83ce5c0] w:640 h:360 pixfmt:yuv420p tb:1/1000 fr:30/1 sar:1/1
Output #0, mp4, to 'out.mp4':
[h264 @ 0x5597c8310a40] Reinit context to 640x368, pix_fmt: yuv420p
  Stream #0:0: Video: h264 (avc1 / 0x31637661), yuv420p(tv, progressive), 640x360, q=2-31, 30 fps, 15360 tbn
    Metadata:
      title           : Output stream #0:1 (audio): 999 frames encoded (999999 samples); 1 packets muxed (1 bytes);
  Stream #0:1: Audio: aac (LC) (mp4a / 0x6134706D), 48000 Hz, mono, fltp, delay 1024, 256 kb/s
Input file #0 (short.webm):
  Input stream #0:0 (video): 90 packets read (301310 bytes); 90 frames decoded; 
  Input stream #0:1 (audio): 151 packets read (26961 bytes); 151 frames decoded (144000 samples); 
Output file #0 (out.mp4):
  Output stream #0:0 (video): 90 frames encoded; 90 packets muxed (348827 bytes); 
  Output stream #0:1 (audio): 141 frames encoded (144000 samples); 142 packets muxed (50759 bytes); 
  Total: 232 packets (399586 bytes) muxed)";
        const auto row = [](const char* name, QString transcript, bool video, bool audio, bool whole) {
            QTest::newRow(name) << transcript << video << audio << whole;
        };
        row("copy", copied, true, true, true);
        row("re-encode", encoded, true, true, true);
        // Shortness hidden behind the other stream, which ffmpeg's time follows.
        row("copied sound short of its input",
            QString(copied).replace("88 packets muxed", "87 packets muxed"), true, true, false);
        row("encoded sound stops early",
            QString(encoded).replace("(144000 samples); 142", "(48000 samples); 142"), true, true, false);
        row("encoded picture stops early", QString(encoded).replace("90 frames encoded", "60 frames encoded"),
            true, true, false);
        row("short sound not asked for",
            QString(encoded).replace("(144000 samples); 142", "(48000 samples); 142"), true, false, true);
        // Any doubt is no proof.
        row("statistics missing",
            QString(copied).remove(QRegularExpression("  Output stream #0:1 \\(audio\\): 88[^\n]*\n")), true,
            true, false);
        row("mapping missing", QString(copied).remove("  Stream #0:1 -> #0:1 (copy)\n"), true, true, false);
        row("copy said to be encoded",
            QString(copied).replace("(audio): 88 packets muxed",
                                    "(audio): 88 frames encoded (88 samples); 88 packets muxed"),
            true, true, false);
        row("no frame rate", QString(encoded).replace("q=2-31, 30 fps,", "q=2-31,"), true, true, false);
        row("number past any size", QString(copied).replace("88 packets", "99999999999999999999 packets"),
            true, true, false);
        row("stream told twice", copied + "\n  Output stream #0:1 (audio): 88 packets muxed (17620 bytes); ",
            true, true, false);
        row("kind asked for not written",
            QString(encoded).remove(QRegularExpression("  Stream #0:1: Audio[^\n]*\n")), true, true, false);
        // The file's tags, printed further indented, and statistics outside their section.
        row("statistics further indented",
            QString(encoded).replace("  Output stream #0:1 (audio)", "    Output stream #0:1 (audio)"), true,
            true, false);
        row("statistics outside their section",
            QString(copied).replace("Output file #0 (out.mp4):", "Output file #1 (other.mp4):"), true, true,
            false);
    }
    void statistics()
    {
        QFETCH(QString, transcript);
        QFETCH(bool, video);
        QFETCH(bool, audio);
        FfmpegDescription said;
        for (const QString& line : transcript.split('\n'))
            said.add(line);
        QVERIFY(said.input);
        QTEST(said.streamsReach(said.input->duration - 0.25, video, audio), "whole");
    }
};

QTEST_GUILESS_MAIN(FfmpegDescriptionTest)
#include "test_ffmpegdescription.moc"
