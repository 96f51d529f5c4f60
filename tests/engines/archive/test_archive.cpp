#include "engines/archive/archiveengine.h"

#include "core/converterror.h"
#include "core/job.h"
#include "core/shell.h"
#include "engines/converter.h"

#include <QtTest>
#include <archive.h>
#include <archive_entry.h>
#include <filesystem>

namespace {

constexpr auto everything = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;

// An archive member: a file, a folder (name ending in "/") or a symbolic link to `data`.
struct Member
{
    QByteArray name;
    QByteArray data;
    bool link = false;
};
using Members = QList<Member>;

QString writeArchive(const QString& path, const Members& members, bool tar = false)
{
    archive* a = archive_write_new();
    tar ? archive_write_set_format_pax_restricted(a) : archive_write_set_format_zip(a);
    archive_write_open_filename(a, QFile::encodeName(path).constData());
    for (const Member& m : members) {
        archive_entry* e = archive_entry_new();
        archive_entry_set_pathname(e, m.name.constData());
        archive_entry_set_filetype(e, m.name.endsWith('/') ? AE_IFDIR : m.link ? AE_IFLNK : AE_IFREG);
        archive_entry_set_perm(e, 0644);
        if (m.link) archive_entry_set_symlink(e, m.data.constData());
        archive_entry_set_size(e, m.link || m.name.endsWith('/') ? 0 : m.data.size());
        archive_write_header(a, e);
        archive_write_data(a, m.data.constData(), archive_entry_size(e));
        archive_entry_free(e);
    }
    archive_write_free(a);
    return path;
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Every item under `folder` by relative path: a file's bytes, "->target" for a link, "/" for a folder.
QMap<QString, QByteArray> tree(const QString& folder)
{
    QMap<QString, QByteArray> items;
    QDirIterator it(folder, everything, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString name = QDir(folder).relativeFilePath(path);
        const QFileInfo info = it.fileInfo();
        items[name] = info.isSymLink()
                          ? "->" + QByteArray(std::filesystem::read_symlink(path.toStdString()).c_str())
                      : info.isDir() ? QByteArray("/")
                                     : readAll(path);
    }
    return items;
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

Q_DECLARE_METATYPE(Members)

class ArchiveTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_root;
    const QString m_tmp = m_root.filePath("tmp"); // scratch folders; empty after each test
    const QString m_in = m_root.filePath("in");   // sources and results

    QStringList convert(const QString& source, const QString& target)
    {
        Job job(QString(), QString(), 0);
        return Converter::convert(source, target, job,
                                  [](double) { QFAIL("an archive reports no progress"); });
    }

    QStringList inputFolder() const { return QDir(m_in).entryList(everything); }

    // The error `work` ends with.
    static std::optional<ConvertError> failure(const std::function<void()>& work)
    {
        try {
            work();
        } catch (const ConvertError& e) {
            return e;
        }
        return std::nullopt;
    }

  private slots:
    void initTestCase()
    {
        QVERIFY(QDir().mkpath(m_tmp) && QDir().mkpath(m_in));
        qputenv("TMPDIR", QFile::encodeName(m_tmp));
    }

    void cleanup()
    {
        QCOMPARE(QDir(m_tmp).entryList(everything), QStringList());
        QVERIFY(QDir(m_in).removeRecursively() && QDir().mkpath(m_in));
    }

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
        const QMap<QString, QByteArray> original = tree(folder);

        const QString zip = m_in + "/data.zip";
        QCOMPARE(Shell::run("/usr/bin/zip", {"-qry", zip, "--", "./data", "./-top"}, folder).status, 0);
        const QStringList gz = convert(zip, "gz");
        QCOMPARE(gz, QStringList{m_in + "/data.tar.gz"});
        QCOMPARE(convert(gz.first(), "zip"), QStringList{m_in + "/data 2.zip"});
        QCOMPARE(convert(m_in + "/data 2.zip", "tar"), QStringList{m_in + "/data 2.tar"});
        for (const QString& result : {m_in + "/data.tar.gz", m_in + "/data 2.zip", m_in + "/data 2.tar"}) {
            const ScratchFolder unpacked = ArchiveEngine::extract(result, QFileInfo(result).suffix());
            QCOMPARE(tree(unpacked.path()), original);
        }
        QVERIFY(!QFile::exists(folder + "/data/PWNED"));
        QCOMPARE(QDir(m_in).entryList(QStringList{".tolvane*"}, everything), QStringList());
        // Readable by the system's own gzip, not only by our reader.
        QCOMPARE(Shell::run("/usr/bin/tar", {"-tzf", m_in + "/data.tar.gz"}).status, 0);
    }

    // Hostile archives are refused: nothing is written beside the source or outside the scratch
    // folder, which goes too.
    void hostileArchivesChangeNothing_data()
    {
        QTest::addColumn<Members>("members");
        QTest::addColumn<bool>("tar");
        const QByteArray outside = QFile::encodeName(m_root.filePath("evil"));
        QTest::newRow("parent") << Members{{"ok.txt", "x"}, {"../evil", "x"}} << false;
        QTest::newRow("absolute") << Members{{outside, "x"}} << true;
        QTest::newRow("link out") << Members{{"l", QFile::encodeName(m_root.path()), true}} << false;
        QTest::newRow("link then file") << Members{{"l", "..", true}, {"l/evil", "x"}} << true;
    }

    void hostileArchivesChangeNothing()
    {
        QFETCH(Members, members);
        QFETCH(bool, tar);
        const QString source = writeArchive(m_in + (tar ? "/bad.tar" : "/bad.zip"), members, tar);
        for (const QString& target : {tar ? QString("zip") : QString("tar"), QString("gz")}) {
            const auto error = failure([&] { convert(source, target); });
            QVERIFY(error);
            QVERIFY2(error->message().startsWith("Couldn’t unpack bad."), qPrintable(error->message()));
        }
        QVERIFY(failure([&] { ArchiveEngine::extractTool(source); }));
        QCOMPARE(inputFolder(), QStringList{QFileInfo(source).fileName()});
        QCOMPARE(QDir(m_root.path()).entryList(everything), QStringList({"in", "tmp"}));
    }

    void refusals()
    {
        const QString zip = writeArchive(m_in + "/a.zip", {{"a.txt", "a"}});
        const auto refused = failure([&] { convert(zip, "7z"); });
        QVERIFY(refused && refused->kind() == ConvertError::Kind::unsupported);
        QCOMPARE(refused->message(), "Can’t write 7Z archives");
        writeFile(m_in + "/corrupt.zip", "PK\x03\x04 not really a zip");
        const auto corrupt = failure([&] { convert(m_in + "/corrupt.zip", "tar"); });
        QVERIFY(corrupt && corrupt->message().startsWith("Couldn’t unpack corrupt.zip: "));

        // Cancelled while unpacking: nothing is packed.
        Job job(QString(), QString(), 0);
        job.cancel();
        const auto cancelled = failure([&] { ArchiveEngine::convert(zip, "zip", "tar", job); });
        QVERIFY(cancelled && cancelled->isCancelled());
        QCOMPARE(inputFolder(), QStringList({"a.zip", "corrupt.zip"}));
    }

    // The programs refuse an empty list of names; the archives are written all the same.
    void emptyFolderPacksToEmptyArchives()
    {
        const QString empty = m_in + "/empty";
        QVERIFY(QDir().mkpath(empty));
        for (const QString& format : {QString("zip"), QString("tar"), QString("gz")}) {
            const QString out = m_in + "/empty-" + format;
            ArchiveEngine::pack(empty, out, format);
            const ScratchFolder unpacked = ArchiveEngine::extract(out, format);
            QCOMPARE(QDir(unpacked.path()).entryList(everything), QStringList());
        }
        QVERIFY(Shell::run("/usr/bin/zipinfo", {m_in + "/empty-zip"}).out().contains("number of entries: 0"));
    }

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

        // A lone link to a folder is not the archive's top folder.
        const QString linked = writeArchive(m_in + "/L.zip", {{"to", ".", true}});
        QCOMPARE(ArchiveEngine::extractTool(linked), QStringList{m_in + "/L Extracted"});
        QVERIFY(QFileInfo(m_in + "/L Extracted/to").isSymLink());
        QCOMPARE(QDir(m_in).entryList(QStringList{".tolvane*"}, everything), QStringList());
    }

    void commandLine()
    {
        const QString zip = writeArchive(m_in + "/folder.zip", {{"folder/", {}}, {"folder/a.txt", "a"}});
        QProcess p;
        p.start(TOLVANE_BIN, {"--convert", "gz", zip});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 0);
        QVERIFY2(p.readAllStandardOutput().startsWith("✓ folder.zip → folder.tar.gz"), "unexpected output");
        const ScratchFolder unpacked = ArchiveEngine::extract(m_in + "/folder.tar.gz", "gz");
        QCOMPARE(readAll(unpacked.file("folder/a.txt")), "a");
    }
};

QTEST_GUILESS_MAIN(ArchiveTest)
#include "test_archive.moc"
