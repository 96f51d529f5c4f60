#include "engines/archive/archiveengine.h"

#include "../../support/enginefixtures_b.h"
#include "core/shell.h"

#include <QtTest>
#include <filesystem>
#include <unistd.h>

namespace {

// Every item under `folder` by relative path: a file's bytes, "->target" for a link, "/" for a folder.
QMap<QString, QByteArray> tree(const QString& folder)
{
    QMap<QString, QByteArray> items;
    QDirIterator it(folder, everything, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info = it.fileInfo();
        items[QDir(folder).relativeFilePath(path)] =
            info.isSymLink() ? "->" + QByteArray(std::filesystem::read_symlink(path.toStdString()).c_str())
            : info.isDir()   ? QByteArray("/")
                             : readAll(path);
    }
    return items;
}

} // namespace

Q_DECLARE_METATYPE(Members)

class ArchiveTest : public QObject
{
    Q_OBJECT
    ScratchTmp m_tmp;
    const QString m_in = m_tmp.files; // sources and results

  private slots:
    void cleanup() { QCOMPARE(m_tmp.leftovers(), QStringList()); }

    // zip → tar.gz → zip and tar: every file, folder and link with its bytes, names that look like
    // options or patterns included, and a file larger than one compression block.
    void roundTripKeepsEverything()
    {
        const QString folder = m_in + "/src";
        QByteArray large;
        for (int i = 0; large.size() < 3 << 20; ++i)
            large += QByteArray::number(i * 7919 % 100003) + (i % 7 ? " " : "\n");
        const QMap<QString, QByteArray> files{{"data/notes.txt", "hello"},
                                              {"data/-TT=touch PWNED #", "opt"},
                                              {"data/-T", "t"},
                                              {"data/--checkpoint-action=exec=touch PWNED", "c"},
                                              {"data/*", "star"},
                                              {"data/[ab]", "set"},
                                              {"data/sub/large.log", large},
                                              {"data/sub/ünï cödé.bin", QByteArray("\0\x01\xff", 3)},
                                              {"data/.hidden", "h"},
                                              {"-top", "top-level dash"}};
        for (auto it = files.begin(); it != files.end(); ++it)
            writeFile(folder + "/" + it.key(), it.value());
        QVERIFY(QDir().mkpath(folder + "/data/empty"));
        QVERIFY(QFile::link("sub/large.log", folder + "/data/link"));
        const auto script = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                            QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ExeOther;
        QVERIFY(QFile::setPermissions(folder + "/data/notes.txt", script));
        const QMap<QString, QByteArray> original = tree(folder);

        const QString zip = m_in + "/data.zip";
        QCOMPARE(Shell::run("/usr/bin/zip", {"-qry", zip, "--", "./data", "./-top"}, folder).status, 0);
        QCOMPARE(convert(zip, "gz"), QStringList{m_in + "/data.tar.gz"});
        QCOMPARE(convert(m_in + "/data.tar.gz", "zip"), QStringList{m_in + "/data 2.zip"});
        QCOMPARE(convert(m_in + "/data 2.zip", "tar"), QStringList{m_in + "/data 2.tar"});
        for (const QString& result : {m_in + "/data.tar.gz", m_in + "/data 2.zip", m_in + "/data 2.tar"}) {
            const ScratchFolder unpacked = ArchiveEngine::extract(result, QFileInfo(result).suffix());
            QCOMPARE(tree(unpacked.path()), original);
            QCOMPARE(QFile::permissions(unpacked.path() + "/data/notes.txt") & 0xf0ff,
                     script); // no user bits
        }
        QCOMPARE(entries(m_in), QStringList({"data 2.tar", "data 2.zip", "data.tar.gz", "data.zip", "src"}));
        // Readable by the system's tar and gzip, not only by our reader, and named as packed.
        const Shell::Result listed = Shell::run("/usr/bin/tar", {"-tzf", m_in + "/data.tar.gz"});
        QCOMPARE(listed.status, 0);
        const QStringList names = listed.out().split('\n', Qt::SkipEmptyParts);
        QVERIFY(names.contains("data/empty/") && names.contains("-top"));
        QCOMPARE(names.filter(QRegularExpression("^\\./")), QStringList());
    }

    // A hard link is a link again in a tar and a second copy in a zip, which has none.
    void hardLinksConvert()
    {
        const QString folder = m_in + "/src";
        writeFile(folder + "/a.txt", "linked bytes");
        QCOMPARE(::link(QFile::encodeName(folder + "/a.txt"), QFile::encodeName(folder + "/b.txt")), 0);
        QCOMPARE(Shell::run("/usr/bin/tar", {"-cf", m_in + "/h.tar", "a.txt", "b.txt"}, folder).status, 0);
        const QMap<QString, QByteArray> both{{"a.txt", "linked bytes"}, {"b.txt", "linked bytes"}};
        for (const QString& format : {QString("zip"), QString("gz")}) {
            const QString result = convert(m_in + "/h.tar", format).value(0);
            QCOMPARE(tree(ArchiveEngine::extract(result, format).path()), both);
        }
    }

    // Hostile archives are refused by every way in: nothing is written beside the source or
    // outside the scratch folder, which goes too.
    void hostileArchivesChangeNothing_data()
    {
        QTest::addColumn<Members>("members");
        QTest::addColumn<bool>("tar");
        QTest::newRow("parent") << Members{{"ok.txt", "x"}, {"../evil", "x"}} << false;
        QTest::newRow("link then file") << Members{{"l", "..", 'l'}, {"l/evil", "x"}} << true;
        QTest::newRow("absolute") << Members{{"ok.txt", "x"}, {"/tmp/evil", "x"}} << true;
        QTest::newRow("link outside") << Members{{"l", "../../etc/passwd", 'l'}} << false;
        QTest::newRow("link leaves later") << Members{{"e", "d/..", 'l'}, {"d", ".", 'l'}} << true;
    }

    void hostileArchivesChangeNothing()
    {
        QFETCH(Members, members);
        QFETCH(bool, tar);
        const QString source = writeArchive(m_in + (tar ? "/bad.tar" : "/bad.zip"), members, tar);
        for (const QString& target : {tar ? QString("zip") : QString("tar"), QString("gz")})
            QVERIFY(message([&] { convert(source, target); }).startsWith("Couldn’t unpack bad."));
        QVERIFY(failure([&] { ArchiveEngine::extractTool(source); }));
        QCOMPARE(entries(m_in), QStringList{QFileInfo(source).fileName()});
        QCOMPARE(entries(m_tmp.root.path()), QStringList({"files", "tmp"}));
    }

    // An entry whose bytes don't match what its headers declare fails every way in, named, and
    // nothing is kept: not the entries before it, not a hidden beginning.
    void damagedEntriesFailEveryRoad()
    {
        const QString folder = m_in + "/src";
        QByteArray photo;
        for (int i = 0; photo.size() < 200000; ++i)
            photo += QByteArray::number(i * 7919 % 100003);
        writeFile(folder + "/photos/a.jpg", photo);
        writeFile(folder + "/notes.txt", "intact");
        const QString zip = m_in + "/backup.zip";
        const auto damage = [&](const QStringList& options, ZipField field, quint32 value) {
            QFile::remove(zip);
            QCOMPARE(Shell::run("/usr/bin/zip",
                                QStringList{"-qX"} + options + QStringList{zip, "notes.txt", "photos/a.jpg"},
                                folder)
                         .status,
                     0);
            patchZipEntry(zip, "photos/a.jpg", field, value);
        };
        struct Row
        {
            const char* what;
            QStringList options;
            ZipField field;
            quint32 value;
        };
        for (const Row& row : {Row{"stored, wrong checksum", {"-0"}, ZipField::crc, 0x12345678},
                               Row{"deflated, wrong checksum", {}, ZipField::crc, 0x12345678},
                               Row{"deflated, longer than it is", {}, ZipField::size, 300000},
                               Row{"stored, longer than it is", {"-0"}, ZipField::size, 300000},
                               Row{"deflated, shorter than it is", {}, ZipField::size, 100000}}) {
            damage(row.options, row.field, row.value);
            for (const QString& road :
                 {QString("tar"), QString("gz"), QString("zip"), QString("extract"), QString("unpack")}) {
                Job job(QString(), QString(), 0);
                const auto e = failure([&] {
                    if (road == "extract")
                        ArchiveEngine::extractTool(zip);
                    else if (road == "unpack")
                        ArchiveEngine::extract(zip, "zip");
                    else
                        ArchiveEngine::convert(zip, road, job, [](double) {});
                });
                const QByteArray where = QByteArray(row.what) + " → " + road.toUtf8();
                QVERIFY2(e, where);
                QVERIFY2(e->message() == "photos/a.jpg in backup.zip is damaged",
                         where + ": " + e->message().toUtf8());
                QVERIFY2(entries(m_in) == QStringList({"backup.zip", "src"}), where);
                QVERIFY2(entries(m_tmp.path).isEmpty(), where);
            }
        }
    }

    // An archive cut short, as an interrupted download leaves it, is said to be damaged or cut
    // short in those words, whichever way it goes in; a cut presentation too, and nothing is kept.
    void cutArchivesSaySo()
    {
        const QString folder = m_in + "/src";
        QByteArray noise;
        for (quint32 i = 0, x = 12345; noise.size() < 300000; ++i)
            noise += char((x = x * 1103515245 + 12345) >> 16);
        writeFile(folder + "/a.bin", noise);
        writeFile(folder + "/b.bin", noise.right(200000));
        writeFile(folder + "/[Content_Types].xml", "<Types/>");
        const auto made = [&](const QString& name, const QString& program, const QStringList& args) {
            QCOMPARE(Shell::run(program, args, folder).status, 0);
            QByteArray bytes = readAll(folder + "/" + name);
            QVERIFY(QFile::remove(folder + "/" + name));
            writeFile(m_in + "/" + name, bytes.left(bytes.size() * 6 / 10));
        };
        made("cut.zip", "/usr/bin/zip", {"-qX", "cut.zip", "a.bin", "b.bin"});
        made("stored.zip", "/usr/bin/zip", {"-qX0", "stored.zip", "a.bin", "b.bin"});
        made("cut.tar.gz", "/usr/bin/tar", {"czf", "cut.tar.gz", "a.bin", "b.bin"});
        made("cut.tar", "/usr/bin/tar", {"cf", "cut.tar", "a.bin", "b.bin"});
        made("cut.pptx", "/usr/bin/zip", {"-qX", "cut.pptx", "[Content_Types].xml", "a.bin", "b.bin"});
        const QStringList kept = entries(m_in);
        const QList<std::pair<QString, QStringList>> roads{{"cut.zip", {"tar", "gz", "extract"}},
                                                           {"stored.zip", {"tar", "gz", "extract"}},
                                                           {"cut.tar.gz", {"zip", "tar", "extract"}},
                                                           {"cut.tar", {"zip", "gz", "extract"}}};
        for (const auto& [name, ways] : roads)
            for (const QString& road : ways) {
                const QString said = message([&] {
                    road == "extract" ? ArchiveEngine::extractTool(m_in + "/" + name)
                                      : convert(m_in + "/" + name, road);
                });
                QCOMPARE(said, "Couldn’t unpack " + name + ": the file is damaged or cut short");
                QCOMPARE(entries(m_in), kept);
            }
        QCOMPARE(message([&] { convert(m_in + "/cut.pptx", "pdf"); }),
                 QString("Couldn’t unpack cut.pptx: the file is damaged or cut short"));
        QCOMPARE(entries(m_in), kept);
    }

    // What other programs write unpacks and converts whole: long and non-ASCII names, empty files,
    // sparse files with holes at the end, entries whose sizes follow their data (zip to a pipe),
    // and the zips Python writes.
    void archivesOtherProgramsWrite()
    {
        const QString folder = m_in + "/src";
        const QByteArray longName = QByteArray(60, 'l') + "/" + QByteArray(120, 'n') + ".txt";
        writeFile(folder + "/data/" + longName, "long");
        writeFile(folder + "/data/ünï cödé.txt", "names");
        writeFile(folder + "/data/empty");
        QFile sparse(writeFile(folder + "/data/sparse.bin"));
        QVERIFY(sparse.open(QIODevice::ReadWrite) && sparse.seek(1000000) && sparse.write("middle") == 6 &&
                sparse.resize(3000000));
        sparse.close();
        QVERIFY(QFile::link("empty", folder + "/data/link"));
        const QMap<QString, QByteArray> original = tree(folder);
        QMap<QString, QByteArray> followed = original; // Python's zip keeps a link as its target's copy
        followed["data/link"] = "";

        const QString shell = "/bin/sh";
        const QList<std::pair<QString, QStringList>> packers{
            {"gnu.tar", {"-c", "tar --sparse -cf \"$0\" data"}},
            {"pax.tar.gz", {"-c", "tar --sparse --format=posix -czf \"$0\" data"}},
            {"zip.zip", {"-c", "zip -qry \"$0\" data"}},
            {"piped.zip", {"-c", "zip -qry - data > \"$0\""}},
            {"python.zip",
             {"-c", "python3 -c 'import shutil, sys; shutil.make_archive(sys.argv[1], \"zip\", "
                    "\".\", \"data\")' \"${0%.zip}\""}}};
        for (const auto& [name, script] : packers) {
            const QString archive = m_in + "/" + name;
            const Shell::Result packed = Shell::run(shell, script + QStringList{archive}, folder);
            QVERIFY2(packed.status == 0, qPrintable(name + ": " + packed.stderrText));
            const QString format = name.endsWith(".zip") ? "zip" : name.endsWith(".gz") ? "gz" : "tar";
            const QMap<QString, QByteArray>& expected = name == "python.zip" ? followed : original;
            QCOMPARE(tree(ArchiveEngine::extract(archive, format).path()), expected);
            for (const QString& to : {QString("tar"), QString("gz"), QString("zip")}) {
                Job job(QString(), QString(), 0);
                const QString result = ArchiveEngine::convert(archive, to, job, [](double) {}).value(0);
                QCOMPARE(tree(ArchiveEngine::extract(result, to).path()), expected);
                QVERIFY(QFile::remove(result));
            }
        }
    }

    // Names without the UTF-8 flag are code page 437, as Windows writes them, unless they are
    // UTF-8 already, as the Mac writes them; flagged names stay as they are. Unpacked and converted.
    void zipNameEncodings()
    {
        // Written under ASCII names of the same lengths, which take no flag, then renamed in place.
        QByteArray zip = readAll(writeArchive(m_in + "/explorer.zip", {{"M_ller.txt", "cp437"},
                                                                       {"Stra_e/_ber.txt", "folder"},
                                                                       {"Zoë.txt", "flagged"},
                                                                       {"Noe__l.txt", "mac"}}));
        zip.replace("M_ller", "M\x81ller").replace("Stra_e/_ber", "Stra\xE1\x65/\x9A\x62\x65r");
        writeFile(m_in + "/explorer.zip", zip.replace("Noe__l", QString("Noe\u0308l").toUtf8()));
        const QMap<QString, QByteArray> expected{{"Müller.txt", "cp437"},
                                                 {"Straße", "/"},
                                                 {"Straße/Über.txt", "folder"},
                                                 {"Zoë.txt", "flagged"},
                                                 {"Noe\u0308l.txt", "mac"}};
        QCOMPARE(tree(ArchiveEngine::extract(m_in + "/explorer.zip", "zip").path()), expected);
        Job job(QString(), QString(), 0);
        const QString tar =
            ArchiveEngine::convert(m_in + "/explorer.zip", "tar", job, [](double) {}).value(0);
        QCOMPARE(tree(ArchiveEngine::extract(tar, "tar").path()), expected);
        QVERIFY(QFile::remove(tar) && QFile::remove(m_in + "/explorer.zip"));
    }

    void refusals()
    {
        const QString zip = writeArchive(m_in + "/a.zip", {{"a.txt", "a"}});
        const auto refused = failure([&] { convert(zip, "7z"); });
        QVERIFY(refused && refused->kind() == ConvertError::Kind::unsupported);
        QCOMPARE(refused->message(), "a.zip can’t be converted to 7Z");
        // Cancelled while unpacking: nothing is packed.
        Job job(QString(), QString(), 0);
        job.cancel();
        const auto cancelled = failure([&] { ArchiveEngine::convert(zip, "tar", job, [](double) {}); });
        QVERIFY(cancelled && cancelled->isCancelled());
        QCOMPARE(entries(m_in), QStringList{"a.zip"});
        // An archive gone since it was chosen is said to be gone, in the user's words.
        const auto gone = failure([&] { ArchiveEngine::extractTool(m_in + "/gone.zip"); });
        QVERIFY(gone);
        QCOMPARE(gone->message(), "gone.zip is no longer there");
        QCOMPARE(entries(m_in), QStringList{"a.zip"});
    }

    // The programs refuse an empty list of names; the archives are written all the same.
    void emptyFolderPacksToEmptyArchives()
    {
        QVERIFY(QDir().mkpath(m_in + "/empty"));
        for (const QString& format : {QString("zip"), QString("tar"), QString("gz")}) {
            ArchiveEngine::pack(m_in + "/empty", m_in + "/empty-" + format, format);
            QCOMPARE(entries(ArchiveEngine::extract(m_in + "/empty-" + format, format).path()),
                     QStringList());
        }
        QVERIFY(Shell::run("/usr/bin/zipinfo", {m_in + "/empty-zip"}).out().contains("number of entries: 0"));
    }

    // An empty file or a text named as an archive is no archive, whichever way it goes in, and
    // nothing is written; a zip with no entries, as the zip program leaves one, still is.
    void nonArchivesAreRefused()
    {
        const std::pair<QByteArray, QString> rows[] = {
            {"", "the file is empty, not an archive"},
            {"hello\nworld\n", "it isn’t an archive"},
            {"Dear Ana,\nthe photos are in the other folder.\n", "it isn’t an archive"},
        };
        for (const auto& [bytes, reason] : rows) {
            for (const char* name : {"notes.zip", "notes.tar.gz"}) {
                const QString source = writeFile(m_in + '/' + name, bytes);
                const QString other = QString(name).endsWith(".zip") ? "gz" : "zip";
                for (const QString& road : {QString("tar"), other, QString("extract")}) {
                    const QString said = message([&] {
                        road == "extract" ? ArchiveEngine::extractTool(source) : convert(source, road);
                    });
                    QCOMPARE(said, "Couldn’t unpack " + QString(name) + ": " + reason);
                    QCOMPARE(entries(m_in), QStringList{name});
                }
                QVERIFY(QFile::remove(source));
            }
        }
        writeFile(m_in + "/a.txt", "a");
        const auto zip = [&](const QStringList& args) {
            return Shell::run("/usr/bin/zip", args, m_in).status;
        };
        QCOMPARE(zip({"-q", "Empty.zip", "a.txt"}), 0);
        QCOMPARE(zip({"-qd", "Empty.zip", "a.txt"}), 0);
        QCOMPARE(QFileInfo(m_in + "/Empty.zip").size(), 22);
        QCOMPARE(ArchiveEngine::extractTool(m_in + "/Empty.zip"), QStringList{m_in + "/Empty Extracted"});
        QCOMPARE(entries(m_in + "/Empty Extracted"), QStringList());
        QCOMPARE(convert(m_in + "/Empty.zip", "tar"), QStringList{m_in + "/Empty.tar"});
    }

    // One top folder is unwrapped and Mac resource forks dropped; several items, or a lone link to a
    // folder, are not unwrapped; a taken name is numbered.
    void extractTool()
    {
        const QString photos = writeArchive(
            m_in + "/Photos.zip",
            {{"Photos/", {}}, {"Photos/a.jpg", "a"}, {"__MACOSX/", {}}, {"__MACOSX/._a", "fork"}});
        QCOMPARE(ArchiveEngine::extractTool(photos), QStringList{m_in + "/Photos Extracted"});
        QCOMPARE(ArchiveEngine::extractTool(photos), QStringList{m_in + "/Photos Extracted 2"});
        QCOMPARE(tree(m_in + "/Photos Extracted 2"), (QMap<QString, QByteArray>{{"a.jpg", "a"}}));

        const QString two = writeArchive(m_in + "/X.tar", {{"a", "1"}, {"b", "2"}}, true);
        QCOMPARE(ArchiveEngine::extractTool(two), QStringList{m_in + "/X Extracted"});
        QCOMPARE(tree(m_in + "/X Extracted"), (QMap<QString, QByteArray>{{"a", "1"}, {"b", "2"}}));

        const QString linked = writeArchive(m_in + "/L.zip", {{"to", ".", 'l'}});
        QCOMPARE(ArchiveEngine::extractTool(linked), QStringList{m_in + "/L Extracted"});
        QVERIFY(QFileInfo(m_in + "/L Extracted/to").isSymLink());
        QCOMPARE(entries(m_in).filter(".tolvane"), QStringList());
    }
};

QTEST_GUILESS_MAIN(ArchiveTest)
#include "test_archive.moc"
