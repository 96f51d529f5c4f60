#include "core/catalog.h"

#include <QtTest>
#include <latch>
#include <thread>

class CatalogTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    static QStringList words(const QString& text) { return text.split(' ', Qt::SkipEmptyParts); }

    QStringList paths(const QString& names) const
    {
        QStringList out;
        for (const QString& name : words(names))
            out << m_dir.filePath(name);
        return out;
    }

    QStringList titles(WheelMode mode, const QString& names) const
    {
        QStringList out;
        for (const WheelItem& item : Catalog::items(mode, paths(names)))
            out << item.title();
        return out;
    }

  private slots:
    void initTestCase()
    {
        // Only folders need to exist: a path that does not is judged as a file.
        for (const QString& folder : words("Report.pages Photos x.png"))
            QVERIFY(QDir(m_dir.path()).mkdir(folder));
    }

    // Must stay the first test: the catalog's tables are built on their first use.
    void firstUseFromTwoThreads()
    {
        QStringList results[2];
        std::latch start(2);
        auto work = [&](int i) {
            start.arrive_and_wait();
            results[i] << QString::number(Catalog::conversionPathCount())
                       << titles(WheelMode::tools, "a.png b.svg")
                       << titles(WheelMode::conversions, "Holiday.TAR.GZ");
        };
        std::thread a(work, 0), b(work, 1);
        a.join();
        b.join();
        QCOMPARE(results[0], results[1]);
        // 299: every source-to-target path less those that would write Pages documents.
        QCOMPARE(results[0], QStringList({"299", "CREATE PDF", "COLLAGE", "ZIP", "TAR"}));
    }

    // The last extension, any case; a package folder is its format, other folders have none.
    void formats()
    {
        // clang-format off
        for (const auto& [name, key] : QList<std::pair<QString, QString>>{
                 {"Holiday.TAR.GZ", "gz"}, {"Clip.textClipping", "textClipping"}, {"Report.pages", "pages"},
                 {"Report.pages/", "pages"}, {"x.png", ""}, {"Photos", ""}, {"data.xyz", ""}, {"README", ""},
                 {"report.", ""}, {".png", ""}})
            QVERIFY2(Catalog::format(m_dir.filePath(name)).value_or(QString()) == key, qPrintable(name));
        // clang-format on
    }

    // Every alias leads to a known format; no format converts to itself or to a format never written.
    void tablesAgree()
    {
        for (auto it = Catalog::aliases().cbegin(); it != Catalog::aliases().cend(); ++it)
            QCOMPARE(Catalog::format(m_dir.filePath("file." + it.key().toUpper())), it.value());
        for (const QString& key : words("jpg svg mp3 wma mp4 gif pdf ppt key xlsx numbers docx pages md "
                                        "rtfd textClipping txt epub srt zip gz rar"))
            for (const QString& target : Catalog::conversions(key))
                QVERIFY2(target != key && target != "pages" && !Catalog::inputOnly().contains(target),
                         qPrintable(key + " → " + target));
    }

    // Several files get what every one of them offers, in the first one's order.
    void drags_data()
    {
        QTest::addColumn<QString>("names");
        QTest::addColumn<QString>("conversions");
        QTest::addColumn<QString>("tools");
        const char* images = "jpg png webp heic tiff avif bmp pdf docx";
        const char* pictures = "compress removeMetadata cropImage createPDF createCollage";
        const char* videos = "mp4 mov mkv webm avi wmv";
        // clang-format off
        QTest::newRow("folder") << "Photos" << "" << "";
        QTest::newRow("png twice") << "a.png a.png" << "jpg webp heic tiff avif bmp pdf docx" << pictures;
        QTest::newRow("png+svg") << "a.png b.svg" << images << "createPDF createCollage";
        QTest::newRow("mp4+mp3") << "a.mp4 b.mp3" << "mp3" << "";
        QTest::newRow("gif+mp4") << "a.gif b.mp4" << QString(videos) + " gif" << "";
        QTest::newRow("pdf+docx") << "a.pdf b.docx" << "docx jpg png epub txt md pdf" << "";
        QTest::newRow("two mp4") << "a.mp4 b.mp4" << QString(videos).mid(4) + " gif mp3"
                                 << "compress removeMetadata muteVideo joinVideos";
        QTest::newRow("png+mp3") << "a.png b.mp3" << "" << "";
        QTest::newRow("unknown+png") << "data.xyz a.png" << "" << "";
        // clang-format on
    }

    void drags()
    {
        QFETCH(QString, names);
        QFETCH(QString, conversions);
        QFETCH(QString, tools);
        QCOMPARE(Catalog::conversions(paths(names)), words(conversions));
        QStringList raws;
        for (ToolID tool : Catalog::tools(paths(names)))
            raws << rawValue(tool);
        QCOMPARE(raws, words(tools));
    }

    // Items compare and hash by kind and payload, not by their titles; raw values, which settings
    // store and the command line takes, are exact and case-sensitive.
    void names()
    {
        const QSet<WheelItem> set{WheelItem::format("copy"),          WheelItem::action(ActionID::copy),
                                  WheelItem::tool(ToolID::cropImage), WheelItem::tool(ToolID::cropVideo),
                                  WheelItem::tool(ToolID::cropVideo), WheelItem::format("gz")};
        QCOMPARE(set.size(), 5);
        for (ToolID tool : allToolIds())
            QCOMPARE(toolIdFromRaw(rawValue(tool)), tool);
        for (const QString& raw : words("Compress compress_ redact airdrop float_ send Tools tool"))
            QVERIFY2(!toolIdFromRaw(raw) && !actionIdFromRaw(raw) && !wheelModeFromRaw(raw), qPrintable(raw));
    }
};

QTEST_GUILESS_MAIN(CatalogTest)
#include "test_catalog.moc"
