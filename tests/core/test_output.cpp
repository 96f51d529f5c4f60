#include "core/converterror.h"
#include "core/job.h"
#include "core/output.h"
#include "core/shell.h"

#include <QtTest>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <dlfcn.h>
#include <fcntl.h>
#include <future>
#include <latch>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

// The calls that move an item into place, stood in for here so that a test can have someone
// else take the chosen name just before the move, and can take the no-replace rename away as
// some file systems do. Untouched, each passes straight on to the C library.
namespace {

struct Moves
{
    int namesTaken = 0; // how many coming moves find their name taken just before them
    bool noReplaceRename = true;
};
Moves moves;

// Someone else's file appears at `path`, or inside the folder already there.
void takeName(const char* path)
{
    if (moves.namesTaken <= 0) return;
    --moves.namesTaken;
    struct stat st;
    const bool folder = ::lstat(path, &st) == 0 && S_ISDIR(st.st_mode);
    const QByteArray file = folder ? QByteArray(path) + "/theirs" : QByteArray(path);
    const int fd = ::open(file.constData(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    if (fd >= 0 && ::write(fd, "theirs", 6) == 6) ::close(fd);
}

template <class Call> Call next(const char* name)
{
    return reinterpret_cast<Call>(::dlsym(RTLD_NEXT, name));
}

} // namespace

extern "C" int renameat2(int fromDir, const char* from, int toDir, const char* to, unsigned flags) noexcept
{
    if (!moves.noReplaceRename && (flags & RENAME_NOREPLACE)) {
        errno = EINVAL;
        return -1;
    }
    takeName(to);
    static const auto call = next<int (*)(int, const char*, int, const char*, unsigned)>("renameat2");
    return call(fromDir, from, toDir, to, flags);
}

extern "C" int renameat(int fromDir, const char* from, int toDir, const char* to) noexcept
{
    takeName(to);
    static const auto call = next<int (*)(int, const char*, int, const char*)>("renameat");
    return call(fromDir, from, toDir, to);
}

extern "C" int rename(const char* from, const char* to) noexcept
{
    takeName(to);
    static const auto call = next<int (*)(const char*, const char*)>("rename");
    return call(from, to);
}

extern "C" int link(const char* from, const char* to) noexcept
{
    takeName(to);
    static const auto call = next<int (*)(const char*, const char*)>("link");
    return call(from, to);
}

class OutputTest : public QObject
{
    Q_OBJECT

    static bool writeFile(const QString& path, const QByteArray& bytes)
    {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    }

    static QByteArray readFile(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    // Everything in a folder, hidden items included.
    static constexpr auto everything = QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot;

  private slots:
    // A trailing "/" makes a folder: among the existing items, or as what the producer writes.
    // An expected "!" is the error of a producer that fails: it writes half a result and is
    // cancelled, or writes nothing at all.
    void commitNeverReplaces_data()
    {
        QTest::addColumn<QStringList>("existing");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("expected");
        // clang-format off
        QTest::newRow("numbered") << QStringList{"Photo.png", "Photo 2.png"} << "Photo.png" << "Photo 3.png";
        QTest::newRow("tar.gz") << QStringList{"Backup.tar.gz"} << "Backup.tar.gz" << "Backup 2.tar.gz";
        QTest::newRow("folder") << QStringList{"Deck v1.2/"} << "Deck v1.2/" << "Deck v1.2 2";
        QTest::newRow("no extension") << QStringList{"Clip"} << "Clip" << "Clip 2";
        QTest::newRow("half a file") << QStringList{"Out.pdf"} << "Out.pdf" << "!Cancelled";
        QTest::newRow("half a folder") << QStringList{} << "Out/" << "!Cancelled";
        QTest::newRow("nothing") << QStringList{} << "Out.pdf" << "!Nothing was written";
        // clang-format on
    }

    void commitNeverReplaces()
    {
        QFETCH(QStringList, existing);
        QFETCH(QString, target);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        for (const QString& item : existing)
            QVERIFY(item.endsWith('/') ? QDir(dir.path()).mkdir(item) : writeFile(dir.filePath(item), "old"));
        const bool folder = target.endsWith('/'), fails = expected.startsWith('!');
        QString result;
        try {
            result = Output::write(dir.filePath(target.chopped(folder)), [&](const QString& temp) {
                if (expected == "!Nothing was written") return;
                if (folder) QDir().mkdir(temp);
                writeFile(folder ? temp + "/page" : temp, "new");
                if (fails) throw ConvertError::cancelled();
            });
        } catch (const ConvertError& e) {
            result = '!' + e.description();
        }
        QCOMPARE(result, fails ? expected : dir.filePath(expected));
        if (!fails) QCOMPARE(readFile(folder ? result + "/page" : result), QByteArray("new"));
        // Nothing replaced, nothing half-written, no temporary item left.
        QCOMPARE(QDir(dir.path()).entryList(everything).size(), existing.size() + !fails);
    }

    // ".tar.gz" and ".tgz" are one extension, a hidden name has none; the temporary item is hidden beside the
    // destination (one file system for the rename) and keeps its extension.
    void names()
    {
        const std::tuple<QString, QString, QString> rows[] = {{"/a/Archive.TGZ", "Archive", ".TGZ"},
                                                              {"/a/Backup.tar.gz", "Backup", ".gz"},
                                                              {"/a/movie.final.mp4", "movie.final", ".mp4"},
                                                              {"/a/.profile", ".profile", ""}};
        for (const auto& [path, base, ext] : rows) {
            QCOMPARE(Output::baseName(path), base);
            const QString temp = Output::temporaryPath(path);
            QVERIFY(temp.startsWith("/a/.tolvane-") && temp.size() == 20 + ext.size() && temp.endsWith(ext));
        }
    }

    // A name that a number, a suffix or a new extension makes too long for the file system loses
    // the end of its base, after a whole character, and keeps the rest.
    void longNames_data()
    {
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("ext");
        QTest::addColumn<QString>("first");  // the base of the first free name
        QTest::addColumn<QString>("second"); // the base of the next one, before " 2"
        const QString ascii(250, 'a'), accents = QString("é").repeated(125),
                                       thumbs = QString("👍🏽").repeated(32);
        QTest::newRow("ASCII fits") << ascii << "mp4" << ascii << ascii.left(249);
        QTest::newRow("ASCII, new extension") << ascii << "flac" << ascii << ascii.left(248);
        QTest::newRow("two-byte characters") << accents << "mp4" << accents << accents.left(124);
        // A code-point cut would keep a thumb without its skin tone; no space is left at a cut.
        QTest::newRow("emoji") << thumbs << "gz" << thumbs.left(124) << thumbs.left(124);
        QTest::newRow("space at the cut") << QString(247, 'a') + "  b"
                                          << "mp4" << QString(247, 'a') + "  b" << QString(247, 'a');
        QTest::newRow("folder") << ascii + "bcdef"
                                << "" << ascii + "bcdef" << ascii + "bcd";
    }

    void longNames()
    {
        QFETCH(QString, base);
        QFETCH(QString, ext);
        QFETCH(QString, first);
        QFETCH(QString, second);
        QTemporaryDir dir;
        const std::optional<QString> extension = ext.isEmpty() ? std::nullopt : std::optional(ext);
        const QString tail = ext.isEmpty() ? "" : "." + ext;
        const QString one = Output::unique(dir.path(), base, extension);
        QCOMPARE(one, dir.filePath(first + tail));
        QVERIFY(ext.isEmpty() ? QDir().mkdir(one) : writeFile(one, "1"));
        const QString two = Output::unique(dir.path(), base, extension);
        QCOMPARE(two, dir.filePath(second + " 2" + tail));
        QVERIFY(writeFile(two, "2")); // the file system takes it

        // A tool's suffix is kept whole, also once the result's name is numbered.
        const QString source = dir.filePath(base + ".src");
        for (const QString number : {"", " 2"}) {
            const QString trimmed = Output::result(source, " Trimmed", extension);
            const QString name = QFileInfo(trimmed).fileName();
            QVERIFY2(name.endsWith(" Trimmed" + number + tail) && name.startsWith(base.left(100)) &&
                         QFile::encodeName(name).size() <= 255,
                     qPrintable(name));
            QCOMPARE(Output::write(trimmed,
                                   [&](const QString& temp) {
                                       QVERIFY(ext.isEmpty() ? QDir().mkdir(temp) : writeFile(temp, "3"));
                                   }),
                     trimmed);
        }
        // A destination made too long by hand is committed under a name that fits.
        const QString made = Output::write(dir.filePath(base + " Muted" + tail), [&](const QString& temp) {
            QVERIFY(ext.isEmpty() ? QDir().mkdir(temp) : writeFile(temp, "4"));
        });
        QVERIFY(made.endsWith(tail) && QFile::encodeName(QFileInfo(made).fileName()).size() <= 255);
    }

    // A cancelled producer leaves no temporary item, even when the program it ran started a
    // helper that ignores SIGTERM and keeps writing to that name: the helper is gone too.
    void cancelledWriteLeavesNothing()
    {
        QTemporaryDir dir, side;
        const QString pidFile = side.filePath("helper");
        Job job("Test", QString(), 0);
        const char* helper =
            "trap '' TERM; echo $$ > \"$2\"; while :; do echo more >> \"$1\"; sleep 0.02; done";
        auto written = std::async(std::launch::async, [&] {
            try {
                return Output::write(dir.filePath("Out.txt"), [&](const QString& temp) {
                    Shell::Options options;
                    options.job = &job;
                    options.timeLimit = std::chrono::seconds(20); // a failing test still ends
                    Shell::run("/bin/sh",
                               {"-c", "sh -c \"$1\" sh \"$2\" \"$3\" & wait", "sh", helper, temp, pidFile},
                               options);
                });
            } catch (const ConvertError& e) {
                return e.description();
            }
        });
        QTRY_VERIFY(!QDir(dir.path()).entryList(everything).isEmpty() && readFile(pidFile).endsWith('\n'));
        job.cancel();
        QVERIFY(written.wait_for(std::chrono::seconds(10)) == std::future_status::ready);
        QCOMPARE(written.get(), "Cancelled");
        QVERIFY(!readFile(QString("/proc/%1/stat").arg(readFile(pidFile).trimmed())).contains(") S "));
        QCOMPARE(QDir(dir.path()).entryList(everything), QStringList());
    }

    // A new file is only ever created: a file, a link to one or a link to nowhere already at the
    // name is refused and left as it was, and nothing is written through the link.
    void writeFileOnlyCreates()
    {
        QTemporaryDir dir;
        const QString kept = dir.filePath("kept.txt"), nowhere = dir.filePath("nowhere.txt");
        QVERIFY(writeFile(kept, "mine"));
        QVERIFY(QFile::link(kept, dir.filePath("link.txt")));
        QVERIFY(QFile::link(nowhere, dir.filePath("dangling.txt")));
        for (const QString name : {"kept.txt", "link.txt", "dangling.txt"}) {
            QVERIFY_THROWS_EXCEPTION(ConvertError, Output::writeFile(dir.filePath(name), "theirs"));
            QCOMPARE(readFile(kept), QByteArray("mine"));
            QVERIFY(!QFileInfo::exists(nowhere));
        }
        QVERIFY(QFileInfo(dir.filePath("link.txt")).isSymLink() &&
                QFileInfo(dir.filePath("dangling.txt")).isSymLink());
        Output::writeFile(dir.filePath("new.txt"), "new");
        QCOMPARE(readFile(dir.filePath("new.txt")), QByteArray("new"));
    }

    // A name someone else takes between the look for a free one and the move stays theirs: the
    // result goes on to the next free name. So it does where the file system has no no-replace
    // rename and a file is linked, or a folder claimed, in its place.
    void commitLeavesANameTakenBeforeTheMove_data()
    {
        QTest::addColumn<bool>("folder");
        QTest::addColumn<bool>("noReplaceRename");
        QTest::newRow("file") << false << true;
        QTest::newRow("folder") << true << true;
        QTest::newRow("file, linked") << false << false;
        QTest::newRow("folder, claimed") << true << false;
    }

    void commitLeavesANameTakenBeforeTheMove()
    {
        QFETCH(bool, folder);
        QFETCH(bool, noReplaceRename);
        QTemporaryDir dir;
        const QString destination = dir.filePath(folder ? "Deck" : "Report.txt");
        const QString temporary = Output::temporaryPath(destination);
        QVERIFY(folder ? QDir().mkdir(destination) : writeFile(destination, "original"));
        QVERIFY(folder ? QDir().mkdir(temporary) && writeFile(temporary + "/page", "ours")
                       : writeFile(temporary, "ours"));
        moves = {1, noReplaceRename};
        QString result;
        try {
            result = Output::commit(temporary, destination, folder);
        } catch (const ConvertError& e) {
            result = e.description();
        }
        moves = {};
        QCOMPARE(result, dir.filePath(folder ? "Deck 3" : "Report 3.txt"));
        QCOMPARE(readFile(folder ? result + "/page" : result), QByteArray("ours"));
        const QString taken = dir.filePath(folder ? "Deck 2" : "Report 2.txt");
        QCOMPARE(readFile(QFileInfo(taken).isDir() ? taken + "/theirs" : taken), QByteArray("theirs"));
        if (!folder) QCOMPARE(readFile(destination), QByteArray("original"));
        QCOMPARE(QDir(dir.path()).entryList(everything).size(), 3); // no temporary item left
    }

    // Every commit racing for one name keeps its own result under its own name.
    void racingCommits()
    {
        QTemporaryDir dir;
        const QString destination = dir.filePath("Same.txt");
        QVERIFY(writeFile(destination, "original"));
        std::latch ready(16);
        std::vector<std::future<QString>> results;
        for (int i = 0; i < 16; ++i)
            results.push_back(std::async(std::launch::async, [&, i] {
                return Output::write(destination, [&](const QString& temporary) {
                    writeFile(temporary, QByteArray::number(i));
                    ready.arrive_and_wait();
                });
            }));
        for (int i = 0; i < 16; ++i)
            QCOMPARE(readFile(results[i].get()), QByteArray::number(i));
        QCOMPARE(readFile(destination), QByteArray("original"));
        QCOMPARE(QDir(dir.path()).entryList(everything).size(), 17);
    }

    // A folder for memory goes to a memory file system unless TMPDIR says where temporary files
    // go; a runtime folder on disk is passed over.
    void scratchInMemory()
    {
        struct statfs fs;
        if (::statfs("/dev/shm", &fs) != 0 || fs.f_type != TMPFS_MAGIC)
            QSKIP("/dev/shm is not in memory here");
        QTemporaryDir disk, runtime("/dev/shm/tolvane-test-XXXXXX");
        QVERIFY(runtime.isValid());
        const QByteArray tmpdir = qgetenv("TMPDIR"), xdg = qgetenv("XDG_RUNTIME_DIR");
        const auto restore = qScopeGuard([&] {
            qputenv("TMPDIR", tmpdir);
            qputenv("XDG_RUNTIME_DIR", xdg);
        });
        const auto parentOf = [](Output::ScratchPlace place) {
            const QString path = Output::scratch(place);
            QDir(path).removeRecursively();
            return QFileInfo(path).path();
        };
        qputenv("TMPDIR", disk.path().toUtf8());
        qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
        QCOMPARE(parentOf(Output::ScratchPlace::memory), disk.path());
        qunsetenv("TMPDIR");
        QCOMPARE(parentOf(Output::ScratchPlace::memory), runtime.path());
        QCOMPARE(parentOf(Output::ScratchPlace::temporary), QDir::tempPath());
        qputenv("XDG_RUNTIME_DIR", disk.path().toUtf8());
        QCOMPARE(parentOf(Output::ScratchPlace::memory), QStringLiteral("/dev/shm"));
    }
};

QTEST_GUILESS_MAIN(OutputTest)
#include "test_output.moc"
