// What the Redact Video tool's result keeps of a film besides its picture and sound: a Matroska
// film's font, byte for byte with its name and type, and none of the tags that could tell whose
// the film is nor its cover picture, read back by ffprobe and from the file's bytes.

#include "../../../support/enginefixtures_a.h"
#include "core/job.h"
#include "tools/video/redact/redactvideowork.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

namespace {

QJsonObject probe(const QString& path)
{
    QProcess p;
    p.start("ffprobe", {"-v", "error", "-print_format", "json", "-show_format", "-show_streams", path});
    p.waitForFinished(60000);
    return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}

QJsonArray streamsOf(const QString& path)
{
    return probe(path)["streams"].toArray();
}

// Every tag of the file and of its streams, as "key=value".
QStringList tagsOf(const QString& path)
{
    const QJsonObject top = probe(path);
    QList<QJsonObject> tagged{top["format"].toObject()["tags"].toObject()};
    for (const QJsonValue& s : top["streams"].toArray())
        tagged << s.toObject()["tags"].toObject();
    QStringList out;
    for (const QJsonObject& tags : tagged)
        for (auto it = tags.begin(); it != tags.end(); ++it)
            out << it.key() + "=" + it.value().toString();
    return out;
}

// The attachment of `path` numbered `k` among its attachments, as ffmpeg writes it out.
QByteArray attachment(const QString& path, int k, const QString& into)
{
    QProcess p; // ffmpeg ends with an error, having no output to write, once it has dumped it
    p.start("ffmpeg",
            {"-v", "quiet", "-y", QStringLiteral("-dump_attachment:t:%1").arg(k), into, "-i", path});
    p.waitForFinished(60000);
    QFile f(into);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// How a cover picture shows in a file: an attached picture, a picture stream besides the first,
// an attachment, or the picture's own bytes anywhere in it.
QStringList coverIn(const QString& path, const QByteArray& picture)
{
    QStringList found;
    const QJsonArray streams = streamsOf(path);
    for (int i = 0; i < streams.size(); ++i) {
        const QJsonObject s = streams[i].toObject();
        if (s["disposition"].toObject()["attached_pic"].toInt() == 1) found << "attached picture";
        if (s["codec_type"] == "video" && i > 0) found << "picture stream " + s["codec_name"].toString();
        if (s["codec_type"] == "attachment") found << "attachment";
    }
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || f.readAll().contains(picture)) found << "its bytes";
    return found;
}

} // namespace

class RedactVideoStreamsTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    QString path(const QString& name) const { return m_dir.filePath(name); }

    // One second of picture and sound.
    QStringList film() const
    {
        return {"-f", "lavfi", "-i", "testsrc2=s=160x90:r=10:d=1", "-f", "lavfi", "-i", "sine=d=1"};
    }
    // The picture and sound encoded, and a name everywhere a tag can stand but an attachment.
    QStringList named() const
    {
        return {"-c:v:0",        "libx264",
                "-preset",       "ultrafast",
                "-pix_fmt",      "yuv420p",
                "-c:a",          "aac",
                "-metadata",     "title=Jane Doe at home",
                "-metadata:s:v", "title=Jane Doe's camera",
                "-metadata:s:a", "title=Jane Doe speaking",
                "-metadata:s:a", "language=eng"};
    }

  private slots:
    // A styled subtitle track's font comes through as it was, named and typed as the file must
    // have it; no tag of the film, its tracks or the font that names someone is left.
    void keepsAFontWithoutTags()
    {
        QByteArray font; // every byte value, so that nothing on the way may change one unseen
        for (int i = 0; i < 4096; ++i)
            font += char(i * 7 % 256);
        QVERIFY(Fixture::write(path("Font.ttf"), font));
        QVERIFY(Fixture::write(path("notes.srt"), "1\n00:00:00,200 --> 00:00:00,800\nHello\n\n"));
        const QString styled = path("Styled.mkv");
        QVERIFY(Fixture::ffmpeg(
            film() + QStringList{"-i", path("notes.srt"), "-map", "0", "-map", "1", "-map", "2"} + named() +
            QStringList{"-c:s", "ass", "-metadata:s:s", "title=Jane Doe's notes", "-metadata:s:s",
                        "language=eng", "-attach", path("Font.ttf"), "-metadata:s:t", "mimetype=font/ttf",
                        "-metadata:s:t", "comment=Bought by Jane Doe", styled}));
        QCOMPARE(tagsOf(styled).filter("Jane Doe").size(), 5);

        Job job({}, {}, 0);
        QString out;
        try {
            out = ToolOps::redactVideo(styled, {QRectF(0.1, 0.1, 0.3, 0.3)}, RedactStyle::black, std::nullopt,
                                       job, {})
                      .value(0);
        } catch (const ConvertError& e) {
            QFAIL(qPrintable(e.message()));
        }
        QVERIFY(QFileInfo(out).isFile());
        QStringList kinds;
        for (const QJsonValue& s : streamsOf(out))
            kinds << s.toObject()["codec_type"].toString() + " " +
                         s.toObject()["tags"].toObject()["language"].toString();
        QCOMPARE(kinds, (QStringList{"video ", "audio eng", "subtitle eng", "attachment "}));
        const QStringList tags = tagsOf(out);
        QVERIFY2(tags.filter("Jane Doe").isEmpty(), qPrintable(tags.join(", ")));
        QVERIFY(tags.contains("filename=Font.ttf") && tags.contains("mimetype=font/ttf"));
        QCOMPARE(attachment(out, 0, path("dumped.ttf")), font);
    }

    // An MP4's attached cover picture and a Matroska film's cover attachment, which may show what
    // the boxes hide, are left out in every form, and a note says so.
    void leavesTheCoverOut_data()
    {
        QTest::addColumn<QString>("ext");
        QTest::newRow("mp4") << "mp4";
        QTest::newRow("mkv") << "mkv";
    }
    void leavesTheCoverOut()
    {
        QFETCH(QString, ext);
        const QString cover = path("cover.jpg"), covered = path("Covered." + ext);
        QVERIFY(
            Fixture::ffmpeg({"-f", "lavfi", "-i", "testsrc2=s=64x64", "-frames:v", "1", "-q:v", "2", cover}));
        QFile picture(cover);
        QVERIFY(picture.open(QIODevice::ReadOnly));
        const QByteArray bytes = picture.readAll();
        QStringList into{"-map", "0", "-map", "1"};
        if (ext == "mp4")
            into = QStringList{"-i", cover} + into + QStringList{"-map", "2", "-c:v:1", "copy"} +
                   QStringList{"-disposition:v:1", "attached_pic"};
        else
            into += QStringList{"-attach", cover, "-metadata:s:t", "mimetype=image/jpeg"};
        QVERIFY(Fixture::ffmpeg(film() + into + named() + QStringList{covered}));
        QVERIFY2(coverIn(covered, bytes).contains("attached picture"),
                 qPrintable(coverIn(covered, bytes).join(", ")));

        Job job({}, {}, 0);
        const QString out = ToolOps::redactVideo(covered, {QRectF(0.2, 0.2, 0.5, 0.5)}, RedactStyle::pixelate,
                                                 std::nullopt, job, {})
                                .value(0);
        QVERIFY(QFileInfo(out).isFile());
        QVERIFY2(coverIn(out, bytes).isEmpty(), qPrintable(coverIn(out, bytes).join(", ")));
        QCOMPARE(job.notes(),
                 QStringList{"The cover picture was left out: it may show what the redacted areas hide"});
    }
};

QTEST_GUILESS_MAIN(RedactVideoStreamsTest)
#include "test_redactvideostreams.moc"
