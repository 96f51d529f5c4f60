#include "engines/subtitle/subtitleengine.h"

#include "../../support/enginefixtures_b.h"

#include <QtTest>
#include <clocale>

using Cues = QList<SubtitleEngine::Cue>;
Q_DECLARE_METATYPE(Cues)

static QStringList subtitles(const QString& source, const QString& target)
{
    Job job(QString(), QString(), 0);
    return SubtitleEngine::convert(source, target, job, [](double) {});
}

class SubtitleTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

  private slots:
    void initTestCase()
    {
        // Times must not follow the user's decimal comma.
        if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) qWarning("de_DE.UTF-8 is not available");
    }

    void times_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("seconds"); // -1: refused
        QTest::newRow("srt") << "00:01:02,500" << 62.5;
        QTest::newRow("vtt") << " 00:01:02.500\t" << 62.5;
        QTest::newRow("minutes") << "01:02.5" << 62.5;
        QTest::newRow("long hours") << "100:00:00.000" << 360000.0;
        QTest::newRow("one part") << "62.5" << -1.0;
        QTest::newRow("letter O") << "1O:00:05" << -1.0;
        QTest::newRow("negative") << "00:-01:02" << -1.0;
        QTest::newRow("nan") << "00:nan:02" << -1.0;
        QTest::newRow("absurd") << "99999999999999:00:00" << -1.0;
        QTest::newRow("arabic digits") << "٠٠:٠١:٠٢" << -1.0;
    }

    void times()
    {
        QFETCH(QString, text);
        QFETCH(double, seconds);
        const std::optional<double> parsed = SubtitleEngine::time(text);
        if (seconds < 0)
            QVERIFY2(!parsed, qPrintable(QString::number(parsed.value_or(0))));
        else
            QCOMPARE(parsed, seconds);
    }

    void parsing_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<Cues>("cues");
        const Cues two{{1, 2.5, "Hello"}, {3, 4, "Two\nlines"}};
        QTest::newRow("srt")
            << "1\n00:00:01,000 --> 00:00:02,500\nHello\n\n2\n00:00:03,000 --> 00:00:04,000\nTwo\nlines\n"
            << two;
        QTest::newRow("vtt header and settings")
            << "WEBVTT\nKind: captions\n\nNOTE a note\n\n00:01.000 --> 00:02.500 align:start\nHello\n\nid\n"
               "00:03.000 --> 00:04.000\tline:0\nTwo\nlines\n"
            << two;
        QTest::newRow("blank line of spaces")
            << "1\n00:00:01,000 --> 00:00:02,500\nHello\n \t \n2\n00:00:03,000 --> "
               "00:00:04,000\nTwo\nlines"
            << two;
        QTest::newRow("line of spaces within a cue")
            << "1\n00:00:01,000 --> 00:00:02,500\nHello\n\n2\n00:00:03,000 --> 00:00:04,000\nTwo\n  \nlines\n"
            << two;
        QTest::newRow("empty text") << "00:00:01,000 --> 00:00:02,000\n" << Cues{{1, 2, ""}};
        QTest::newRow("malformed times skipped")
            << "1\n00:00:O1,000 --> 00:00:02,000\nLost\n\n2\n00:00:03,000 --> 00:00:04,000 --> x\nLost\n\n"
               "3\n00:00:03,000 --> 00:00:04,000\nKept"
            << Cues{{3, 4, "Kept"}};
    }

    void parsing()
    {
        QFETCH(QString, text);
        QFETCH(Cues, cues);
        QCOMPARE(SubtitleEngine::parse(text), cues);
        QCOMPARE(SubtitleEngine::parse(text.replace('\n', "\r\n")), cues);
    }

    void rendering()
    {
        const Cues cues{
            {1.25, 3, "<i>Hello</i>"}, {3, 4, ""}, {4, 5, "Hello\nWorld"}, {5, 6, "World\nWorld"}};
        QCOMPARE(SubtitleEngine::render(cues, "srt"), "1\n00:00:01,250 --> 00:00:03,000\n<i>Hello</i>\n\n"
                                                      "2\n00:00:03,000 --> 00:00:04,000\n\n\n"
                                                      "3\n00:00:04,000 --> 00:00:05,000\nHello\nWorld\n\n"
                                                      "4\n00:00:05,000 --> 00:00:06,000\nWorld\nWorld\n");
        QCOMPARE(SubtitleEngine::render(cues.mid(0, 1), "vtt"),
                 "WEBVTT\n\n00:00:01.250 --> 00:00:03.000\n<i>Hello</i>\n");
        QCOMPARE(SubtitleEngine::render(cues, "txt"), "Hello\n\nHello\nWorld\n");
        QCOMPARE(SubtitleEngine::timestamp(3725.4996, false), "01:02:05.500");
        QCOMPARE(SubtitleEngine::timestamp(360000, true), "100:00:00,000");
    }

    // Subtitles saved in the code pages of other languages read as themselves, and short Western
    // text in Windows-1252, which misleads the detector, stays Western.
    void codePages_data()
    {
        QTest::addColumn<QByteArray>("codec");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("Cyrillic") << QByteArray("windows-1251") << QStringList{"Добрый вечер", "Как дела?"};
        QTest::newRow("Greek") << QByteArray("windows-1253")
                               << QStringList{"Καλησπέρα σας", "«Άννα» – είπε…"};
        QTest::newRow("Central European")
            << QByteArray("windows-1250") << QStringList{"Dobrý večer", "„Jak se máte?“ řekl Petr."};
        QTest::newRow("Turkish") << QByteArray("windows-1254")
                                 << QStringList{"İyi akşamlar", "“Teşekkürler”…"};
        QTest::newRow("Hebrew") << QByteArray("windows-1255") << QStringList{"ערב טוב", "מה שלומך?"};
        QTest::newRow("Arabic") << QByteArray("windows-1256") << QStringList{"مساء الخير", "كيف حالك؟"};
        QTest::newRow("Western names")
            << QByteArray("windows-1252") << QStringList{"Liste: Zoë, Chloé, Noël, Anaïs"};
        QTest::newRow("Western") << QByteArray("windows-1252") << QStringList{"naïve café", "Señor Muñoz"};
        QTest::newRow("Nordic") << QByteArray("windows-1252") << QStringList{"Ærø og Fjørd", "Über François"};
    }

    void codePages()
    {
        QFETCH(QByteArray, codec);
        QFETCH(QStringList, lines);
        QString srt;
        for (int i = 0; i < lines.size(); ++i)
            srt += QString("%1\r\n00:00:0%1,000 --> 00:00:0%2,000\r\n%3\r\n\r\n")
                       .arg(i + 1)
                       .arg(i + 2)
                       .arg(lines[i]);
        QStringEncoder encoder(codec.constData());
        const QByteArray bytes = encoder.encode(srt);
        QVERIFY(!encoder.hasError());
        const QTemporaryDir dir;
        const QString source = writeFile(dir.filePath("cues.srt"), bytes);
        QCOMPARE(QString::fromUtf8(readAll(subtitles(source, "txt").first())), lines.join('\n') + '\n');
        const QString vtt = QString::fromUtf8(readAll(subtitles(source, "vtt").first()));
        QVERIFY2(vtt.endsWith("\n" + lines.last() + "\n"), qPrintable(vtt));
    }

    // srt → vtt (by the command line, under a German locale) → srt keeps every cue; the files go
    // beside the source under free names.
    void roundTripAndRefusals()
    {
        QByteArray srt;
        for (int i = 0; i < 50; ++i)
            srt += QByteArray::number(i + 1) + "\n" + SubtitleEngine::timestamp(i * 2.001, true).toUtf8() +
                   " --> " + SubtitleEngine::timestamp(i * 2.001 + 1.5, true).toUtf8() + "\nCue " +
                   QByteArray::number(i) + " – ünïcode\n<b>bold</b>\n\n";
        const QString film = writeFile(m_dir.filePath("film.srt"), srt);
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("LC_ALL", "de_DE.UTF-8");
        p.setProcessEnvironment(env);
        p.start(TOLVANE_BIN, {"--convert", "vtt", film});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 0);
        QVERIFY(
            readAll(m_dir.filePath("film.vtt")).startsWith("WEBVTT\n\n00:00:00.000 --> 00:00:01.500\nCue 0"));
        const QStringList back = subtitles(m_dir.filePath("film.vtt"), "srt");
        QCOMPARE(back, QStringList{m_dir.filePath("film 2.srt")});
        QCOMPARE(readAll(back.first()), srt.chopped(1));

        // Windows-1252 text is read as such.
        const QString latin =
            writeFile(m_dir.filePath("latin.srt"), "1\n00:00:01,000 --> 00:00:02,000\nCaf\xe9 \x80\n");
        QCOMPARE(readAll(subtitles(latin, "txt").first()), "Café €\n");

        // No cues is reported before the target is looked at.
        const QString empty = writeFile(m_dir.filePath("empty.vtt"));
        for (const QString& target : {QString("srt"), QString("docx")})
            QCOMPARE(message([&] { subtitles(empty, target); }), "No subtitle cues found");
        const auto docx = failure([&] { subtitles(film, "docx"); });
        QVERIFY(docx && docx->kind() == ConvertError::Kind::unsupported);
        QCOMPARE(docx->message(), "Can’t make DOCX from subtitles");
        QCOMPARE(entries(m_dir.path()),
                 QStringList({"empty.vtt", "film 2.srt", "film.srt", "film.vtt", "latin.srt", "latin.txt"}));
    }
};

QTEST_GUILESS_MAIN(SubtitleTest)
#include "test_subtitle.moc"
