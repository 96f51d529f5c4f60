#include "core/catalog.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <latch>
#include <thread>

namespace {

// Keys with a category, one or more per category; sources for the whole-table checks.
const QStringList everyKey{"jpg",  "png",  "webp",         "heic", "tiff", "svg",     "avif", "bmp",   "mp3",
                           "m4a",  "wav",  "flac",         "ogg",  "opus", "aiff",    "wma",  "mp4",   "mov",
                           "mkv",  "webm", "avi",          "wmv",  "gif",  "pdf",     "ppt",  "pptx",  "key",
                           "xlsx", "xls",  "ods",          "csv",  "tsv",  "numbers", "docx", "pages", "md",
                           "rtf",  "rtfd", "textClipping", "html", "odt",  "doc",     "txt",  "epub",  "srt",
                           "vtt",  "zip",  "tar",          "gz",   "rar"};

QStringList titles(const QList<WheelItem>& items)
{
    QStringList out;
    for (const WheelItem& item : items)
        out << item.title();
    return out;
}

QStringList rawValues(const QList<ToolID>& tools)
{
    QStringList out;
    for (ToolID tool : tools)
        out << rawValue(tool);
    return out;
}

// Everything a wheel asks of the catalog, as one comparable text.
QString snapshot(const QString& dir)
{
    QStringList lines{QString::number(Catalog::conversionPathCount())};
    const QList<QStringList> drags{{"a.png"},          {"a.png", "b.svg"}, {"a.pdf", "b.docx"},
                                   {"a.mp4", "b.mp4"}, {"Holiday.tar.gz"}, {"a.jpeg", "b.tgz"}};
    for (const QStringList& names : drags) {
        QStringList paths;
        for (const QString& name : names)
            paths << dir + QLatin1Char('/') + name;
        for (WheelMode mode : allWheelModes())
            lines << titles(Catalog::items(mode, paths)).join(QLatin1Char(','));
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace

class CatalogTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QStringList paths(const QStringList& names) const
    {
        QStringList out;
        for (const QString& name : names)
            out << m_dir.filePath(name);
        return out;
    }

  private slots:
    // Must stay the first test: it is the catalog's first use in this process.
    void firstUseFromTwoThreads()
    {
        QString results[2];
        std::latch start(2);
        auto work = [&](int i) {
            start.arrive_and_wait();
            results[i] = snapshot(m_dir.path());
        };
        std::thread a(work, 0), b(work, 1);
        a.join();
        b.join();
        QVERIFY(results[0].contains(QLatin1String("CREATE PDF,COLLAGE")));
        QCOMPARE(results[0], results[1]);
        QCOMPARE(results[0], snapshot(m_dir.path()));
    }

    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        for (const QString& folder :
             QStringList{"Report.pages", "Notes.rtfd", "Deck.key", "Sheet.numbers", "Photos", "x.png"})
            QVERIFY(QDir(m_dir.path()).mkdir(folder));
    }

    void formats_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("createFile");
        QTest::addColumn<QString>("key"); // empty: no format

        QTest::newRow("tar.gz in capitals") << "Holiday.TAR.GZ" << true << "gz";
        QTest::newRow("tgz alias") << "backup.tgz" << true << "gz";
        QTest::newRow("JPEG alias") << "photo.JPEG" << true << "jpg";
        QTest::newRow("jpe alias") << "photo.jpe" << true << "jpg";
        QTest::newRow("text clipping keeps its capital") << "Clip.textClipping" << true << "textClipping";
        QTest::newRow("TIF alias") << "scan.TIF" << true << "tiff";
        QTest::newRow("upper-case key") << "notes.TXT" << true << "txt";
        QTest::newRow("pages package") << "Report.pages" << false << "pages";
        QTest::newRow("rtfd package") << "Notes.rtfd" << false << "rtfd";
        QTest::newRow("key package") << "Deck.key" << false << "key";
        QTest::newRow("package with trailing slash") << "Report.pages/" << false << "pages";
        QTest::newRow("plain folder") << "Photos" << false << "";
        QTest::newRow("folder named like an image") << "x.png" << false << "";
        QTest::newRow("unknown extension") << "data.xyz" << true << "";
        QTest::newRow("no extension") << "README" << true << "";
        QTest::newRow("trailing dot") << "report." << true << "";
        QTest::newRow("hidden name is not an extension") << ".png" << true << "";
        QTest::newRow("missing path judged as a file") << "ghost.png" << false << "png";
    }

    void formats()
    {
        QFETCH(QString, name);
        QFETCH(bool, createFile);
        QFETCH(QString, key);
        const QString path = m_dir.filePath(name);
        if (createFile) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        const std::optional<QString> format = Catalog::format(path);
        QCOMPARE(format.value_or(QString()), key);
    }

    void categories()
    {
        using C = FileCategory;
        const QList<std::pair<QString, C>> known{{"svg", C::image},
                                                 {"aiff", C::audio},
                                                 {"gif", C::video},
                                                 {"pdf", C::pdf},
                                                 {"key", C::slides},
                                                 {"pptx", C::slides},
                                                 {"numbers", C::spreadsheet},
                                                 {"xls", C::spreadsheet},
                                                 {"pages", C::document},
                                                 {"textClipping", C::document},
                                                 {"txt", C::text},
                                                 {"epub", C::epub},
                                                 {"vtt", C::subtitle},
                                                 {"gz", C::archive}};
        for (const auto& [key, category] : known)
            QVERIFY2(Catalog::category(key) == category, qPrintable(key));
        // Aliases and spellings are resolved by format(), never by category().
        for (const QString& key : QStringList{"jpeg", "PNG", "textclipping", "tgz", ""})
            QVERIFY2(!Catalog::category(key), qPrintable(key));
    }

    void aliasesLeadToFormats()
    {
        QCOMPARE(Catalog::aliases().size(), 16);
        for (auto it = Catalog::aliases().cbegin(); it != Catalog::aliases().cend(); ++it) {
            QVERIFY2(Catalog::category(it.value()), qPrintable(it.key()));
            QCOMPARE(Catalog::format(m_dir.filePath("file." + it.key().toUpper())), it.value());
        }
    }

    void targetsAreWritableAndNotTheSource()
    {
        for (const QString& key : everyKey) {
            const QStringList targets = Catalog::conversions(key);
            QVERIFY2(!targets.contains(key), qPrintable(key));
            QVERIFY2(!targets.contains("pages"), qPrintable(key));
            for (const QString& target : targets)
                QVERIFY2(!Catalog::inputOnly().contains(target), qPrintable(key + " → " + target));
        }
    }

    void conversions_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("expected");
        const QStringList images{"jpg", "png", "webp", "heic", "tiff", "avif", "bmp", "pdf", "docx"};
        const QStringList videos{"mp4", "mov", "mkv", "webm", "avi", "wmv"};

        QTest::newRow("jpg") << QStringList{"a.jpg"} << images.mid(1);
        QTest::newRow("svg") << QStringList{"a.svg"} << images;
        QTest::newRow("gif") << QStringList{"a.gif"} << videos;
        QTest::newRow("mp4") << QStringList{"a.mp4"} << videos.mid(1) + QStringList{"gif", "mp3"};
        QTest::newRow("xlsx skips input-only xls")
            << QStringList{"a.xlsx"} << QStringList{"ods", "csv", "tsv", "pdf"};
        QTest::newRow("srt") << QStringList{"a.srt"} << QStringList{"vtt", "txt"};
        QTest::newRow("keynote package")
            << QStringList{"Deck.key"} << QStringList{"pdf", "jpg", "png", "pptx"};
        QTest::newRow("numbers package")
            << QStringList{"Sheet.numbers"} << QStringList{"xlsx", "ods", "csv", "tsv", "pdf"};
        QTest::newRow("rar") << QStringList{"a.rar"} << QStringList{"zip", "tar", "gz"};
        QTest::newRow("pages is read, never written")
            << QStringList{"Report.pages"}
            << QStringList{"docx", "pdf", "txt", "md", "html", "epub", "png", "jpg"};
        QTest::newRow("pdf") << QStringList{"a.pdf"}
                             << QStringList{"docx", "pptx", "xlsx", "jpg", "png", "epub", "txt", "md"};
        QTest::newRow("txt") << QStringList{"a.txt"}
                             << QStringList{"docx", "pdf", "md", "html", "epub", "jpg", "png"};
        QTest::newRow("plain folder") << QStringList{"Photos"} << QStringList{};
        QTest::newRow("folder named like an image") << QStringList{"x.png"} << QStringList{};
        QTest::newRow("unknown") << QStringList{"data.xyz"} << QStringList{};
        QTest::newRow("nothing dragged") << QStringList{} << QStringList{};

        QTest::newRow("png + jpg") << QStringList{"a.png", "b.jpg"} << images;
        QTest::newRow("png + svg") << QStringList{"a.png", "b.svg"} << images;
        QTest::newRow("mp4 + mp3") << QStringList{"a.mp4", "b.mp3"} << QStringList{"mp3"};
        QTest::newRow("mp3 + mp4") << QStringList{"a.mp3", "b.mp4"} << QStringList{"mp3"};
        QTest::newRow("gif + mp4") << QStringList{"a.gif", "b.mp4"} << videos + QStringList{"gif"};
        QTest::newRow("mp4 + gif") << QStringList{"a.mp4", "b.gif"} << videos + QStringList{"gif"};
        QTest::newRow("pdf + docx") << QStringList{"a.pdf", "b.docx"}
                                    << QStringList{"docx", "jpg", "png", "epub", "txt", "md", "pdf"};
        QTest::newRow("docx + pdf") << QStringList{"a.docx", "b.pdf"}
                                    << QStringList{"docx", "pdf", "txt", "md", "epub", "png", "jpg"};
        QTest::newRow("epub + docx") << QStringList{"a.epub", "b.docx"}
                                     << QStringList{"pdf", "docx", "txt", "md", "html", "epub"};
        QTest::newRow("pdf + pages package") << QStringList{"a.pdf", "Report.pages"}
                                             << QStringList{"docx", "jpg", "png", "epub", "txt", "md", "pdf"};
        QTest::newRow("two mp3") << QStringList{"a.mp3", "b.mp3"}
                                 << QStringList{"m4a", "wav", "flac", "ogg", "opus", "aiff", "wma"};
        QTest::newRow("png + mp3") << QStringList{"a.png", "b.mp3"} << QStringList{};
        QTest::newRow("png + unknown") << QStringList{"a.png", "data.xyz"} << QStringList{};
    }

    void conversions()
    {
        QFETCH(QStringList, names);
        QFETCH(QStringList, expected);
        QCOMPARE(Catalog::conversions(paths(names)), expected);
    }

    void tools_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("expected");
        const QStringList severalPictures{"compress", "removeMetadata", "cropImage", "createPDF",
                                          "createCollage"};
        const QStringList createOnly{"createPDF", "createCollage"};

        QTest::newRow("png") << QStringList{"a.png"}
                             << QStringList{"compress",   "removeMetadata", "editImage",  "annotateImage",
                                            "frameImage", "cropImage",      "redactImage"};
        QTest::newRow("svg") << QStringList{"a.svg"} << QStringList{};
        QTest::newRow("gif") << QStringList{"a.gif"} << QStringList{"removeMetadata"};
        QTest::newRow("m4a") << QStringList{"a.m4a"}
                             << QStringList{"compress",  "removeMetadata", "normalizeAudio", "audioToVideo",
                                            "trimAudio", "audioChannels",  "redactAudio"};
        QTest::newRow("mkv") << QStringList{"a.mkv"}
                             << QStringList{"compress",       "removeMetadata", "muteVideo",
                                            "trimVideo",      "cropVideo",      "changeVideoSpeed",
                                            "videoSnapshots", "splitVideo",     "redactVideo"};
        QTest::newRow("pdf") << QStringList{"a.pdf"}
                             << QStringList{"compress", "removeMetadata", "splitPDF", "organizePDF"};
        QTest::newRow("tar.gz") << QStringList{"a.tar.gz"} << QStringList{"extractArchive"};
        for (const QString& name :
             QStringList{"a.ogg", "a.opus", "a.wma", "a.webm", "a.avi", "a.wmv", "a.docx", "Photos"})
            QTest::newRow(qPrintable("no tools for " + name)) << QStringList{name} << QStringList{};
        QTest::newRow("nothing dragged") << QStringList{} << QStringList{};

        QTest::newRow("png + jpg") << QStringList{"a.png", "b.jpg"} << severalPictures;
        QTest::newRow("one png dragged twice") << QStringList{"a.png", "a.png"} << severalPictures;
        QTest::newRow("png + svg") << QStringList{"a.png", "b.svg"} << createOnly;
        QTest::newRow("svg + png") << QStringList{"a.svg", "b.png"} << createOnly;
        QTest::newRow("two svg") << QStringList{"a.svg", "b.svg"} << createOnly;
        QTest::newRow("mp3 + wav") << QStringList{"a.mp3", "b.wav"}
                                   << QStringList{"compress", "removeMetadata", "normalizeAudio"};
        QTest::newRow("two mp4") << QStringList{"a.mp4", "b.mp4"}
                                 << QStringList{"compress", "removeMetadata", "muteVideo", "joinVideos"};
        QTest::newRow("two gif") << QStringList{"a.gif", "b.gif"} << QStringList{"removeMetadata"};
        QTest::newRow("two pdf") << QStringList{"a.pdf", "b.pdf"}
                                 << QStringList{"compress", "removeMetadata", "splitPDF", "mergePDF"};
        QTest::newRow("zip + rar") << QStringList{"a.zip", "b.rar"} << QStringList{"extractArchive"};
        QTest::newRow("png + mp3") << QStringList{"a.png", "b.mp3"} << QStringList{};
        QTest::newRow("svg + mp3") << QStringList{"a.svg", "b.mp3"} << QStringList{};
        QTest::newRow("mp4 + webm") << QStringList{"a.mp4", "b.webm"} << QStringList{};
        QTest::newRow("png + unknown") << QStringList{"a.png", "data.xyz"} << QStringList{};
        QTest::newRow("unknown + png") << QStringList{"data.xyz", "a.png"} << QStringList{};
    }

    void tools()
    {
        QFETCH(QStringList, names);
        QFETCH(QStringList, expected);
        QCOMPARE(rawValues(Catalog::tools(paths(names))), expected);
    }

    void items_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("expected");
        const QStringList actions{"SEND", "FLOAT", "COPY", "MOVE", "COPY PATH", "TERMINAL"};

        QTest::newRow("gzip targets")
            << "conversions" << QStringList{"Holiday.TAR.GZ"} << QStringList{"ZIP", "TAR"};
        QTest::newRow("clipping targets")
            << "conversions" << QStringList{"Clip.textClipping"}
            << QStringList{"DOCX", "PDF", "TXT", "MD", "HTML", "EPUB", "PNG", "JPG"};
        QTest::newRow("targets to gzip")
            << "conversions" << QStringList{"a.zip"} << QStringList{"TAR", "GZIP"};
        QTest::newRow("video tools") << "tools" << QStringList{"a.mov"}
                                     << QStringList{"COMPRESS", "METADATA", "MUTE",  "TRIM",  "CROP",
                                                    "SPEED",    "SNAPSHOT", "SPLIT", "REDACT"};
        QTest::newRow("no conversions for a folder")
            << "conversions" << QStringList{"Photos"} << QStringList{};
        QTest::newRow("no tools for a folder") << "tools" << QStringList{"Photos"} << QStringList{};
        QTest::newRow("actions for a folder") << "actions" << QStringList{"Photos"} << actions;
        QTest::newRow("actions for nothing") << "actions" << QStringList{} << actions;
        QTest::newRow("actions for mixed files") << "actions" << QStringList{"a.png", "b.mp3"} << actions;
    }

    void items()
    {
        QFETCH(QString, mode);
        QFETCH(QStringList, names);
        QFETCH(QStringList, expected);
        const std::optional<WheelMode> wheel = wheelModeFromRaw(mode);
        QVERIFY(wheel);
        QCOMPARE(titles(Catalog::items(*wheel, paths(names))), expected);
    }

    void itemKinds()
    {
        const QStringList mp4s = paths({"a.mp4", "b.mp4"});
        QCOMPARE(Catalog::items(WheelMode::tools, mp4s),
                 (QList<WheelItem>{WheelItem::tool(ToolID::compress), WheelItem::tool(ToolID::removeMetadata),
                                   WheelItem::tool(ToolID::muteVideo), WheelItem::tool(ToolID::joinVideos)}));
        const QList<WheelItem> actions = Catalog::items(WheelMode::actions, {});
        QCOMPARE(actions.first(), WheelItem::action(ActionID::airDrop));
        QCOMPARE(actions.first().symbol(), QString("dot.radiowaves.left.and.right"));
        const WheelItem first = Catalog::items(WheelMode::conversions, mp4s).first();
        QCOMPARE(first.formatKey(), QString("mov"));
        QVERIFY(!first.symbol());
        QVERIFY(!first.toolId());
    }

    void itemsAreEqualAndHashedByCaseAndPayload()
    {
        const QSet<WheelItem> set{WheelItem::format("copy"),
                                  WheelItem::action(ActionID::copy),
                                  WheelItem::format("compress"),
                                  WheelItem::tool(ToolID::compress),
                                  WheelItem::tool(ToolID::compress),
                                  WheelItem::tool(ToolID::cropImage),
                                  WheelItem::tool(ToolID::cropVideo),
                                  WheelItem::format("gz"),
                                  WheelItem::format("gz")};
        QCOMPARE(set.size(), 7);
        QVERIFY(WheelItem::tool(ToolID::cropImage) != WheelItem::tool(ToolID::cropVideo));
        QCOMPARE(WheelItem::tool(ToolID::cropImage).title(), WheelItem::tool(ToolID::cropVideo).title());
    }

    void rawValuesRoundTrip()
    {
        QSet<QString> raws;
        for (ToolID tool : allToolIds()) {
            raws << rawValue(tool);
            QCOMPARE(toolIdFromRaw(rawValue(tool)), tool);
        }
        QCOMPARE(raws.size(), 26);
        QCOMPARE(rawValue(ToolID::changeVideoSpeed), QString("changeVideoSpeed"));
        QCOMPARE(name(ToolID::changeVideoSpeed), QString("Change Video Speed"));
        for (ActionID action : allActionIds())
            QCOMPARE(actionIdFromRaw(rawValue(action)), action);
        QCOMPARE(allActionIds().size(), 6);
        QCOMPARE(rawValue(ActionID::float_), QString("float"));
        QCOMPARE(rawValue(ActionID::airDrop), QString("airDrop"));
        for (WheelMode mode : allWheelModes())
            QCOMPARE(wheelModeFromRaw(rawValue(mode)), mode);

        for (const QString& raw : QStringList{"Compress", "compress ", "", "redact"})
            QVERIFY2(!toolIdFromRaw(raw), qPrintable(raw));
        for (const QString& raw : QStringList{"airdrop", "AIRDROP", "float_", "send"})
            QVERIFY2(!actionIdFromRaw(raw), qPrintable(raw));
        for (const QString& raw : QStringList{"Tools", "tool", ""})
            QVERIFY2(!wheelModeFromRaw(raw), qPrintable(raw));
    }

    // 310 source-to-target paths, less the 11 that would write Pages documents
    // (from pdf, epub, txt and the eight other document formats).
    void conversionPathCount() { QCOMPARE(Catalog::conversionPathCount(), 299); }
};

QTEST_GUILESS_MAIN(CatalogTest)
#include "test_catalog.moc"
