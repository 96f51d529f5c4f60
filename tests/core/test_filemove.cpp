// Moving the user's items: taken names are numbered, nothing is replaced, and between file systems
// the original goes only after a checked copy stands in its place.

#include "core/converterror.h"
#include "core/filemove.h"

#include "../support/files.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QtTest>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// What the wrapped write() below does to the bytes it is given for a file in `lossyFolder`
// named ".tolvane-…": "drop" stores all but the last byte, "flip" changes the first one. Either
// way it says it wrote them all, as a disk that loses writes does.
QByteArray lossyFolder, lossyKind;

bool isLossy(int fd)
{
    if (lossyFolder.isEmpty()) return false;
    char target[4096];
    const ssize_t n = ::readlink(QByteArray("/proc/self/fd/" + QByteArray::number(fd)).constData(), target,
                                 sizeof target - 1);
    return n > 0 && QByteArray(target, n).startsWith(lossyFolder + "/.tolvane-");
}

dev_t deviceOf(const QString& path)
{
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_dev : dev_t(-1);
}

} // namespace

// Every write() of the process, the library's included, passes here.
extern "C" __attribute__((visibility("default"))) ssize_t write(int fd, const void* data, size_t size)
{
    if (size == 0 || !isLossy(fd)) return ::syscall(SYS_write, fd, data, size);
    QByteArray bytes(static_cast<const char*>(data), qsizetype(size));
    if (lossyKind == "flip") bytes[0] = char(bytes[0] ^ 0x20);
    const ssize_t n = ::syscall(SYS_write, fd, bytes.constData(), lossyKind == "drop" ? size - 1 : size);
    return n < 0 ? n : ssize_t(size);
}

class FileMoveTest : public QObject
{
    Q_OBJECT

  private slots:
    // A taken name is numbered before the last extension; what was there is kept.
    void names()
    {
        const std::pair<QString, QString> rows[] = {{"a.txt", "a 2.txt"},
                                                    {"README", "README 2"},
                                                    {"backup.tar.gz", "backup.tar 2.gz"},
                                                    {".profile", ".profile 2"}};
        for (const auto& [name, moved] : rows) {
            QTemporaryDir from, to;
            writeFile(from.filePath(name), "moved");
            writeFile(to.filePath(name), "was there");
            const QString result = FileMove::moveInto(from.filePath(name), to.path());
            QCOMPARE(result, to.filePath(moved));
            QCOMPARE(readAll(result), QByteArray("moved"));
            QCOMPARE(readAll(to.filePath(name)), QByteArray("was there"));
            QVERIFY(!QFileInfo::exists(from.filePath(name)));
        }
    }

    void refusals()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath("box/inner"));
        const auto failure = [&](const QString& item) {
            try {
                FileMove::moveInto(dir.filePath(item), dir.filePath("box/inner"));
                return QString("moved");
            } catch (const ConvertError& e) {
                return e.message();
            }
        };
        QCOMPARE(failure("box"), QString("Couldn’t move “box” into itself"));
        QVERIFY(failure("gone.txt").startsWith("Couldn’t move “gone.txt”: "));
        QVERIFY(QFileInfo(dir.filePath("box/inner")).isDir());
        // An item already in the folder stays as it is rather than becoming "x 2".
        writeFile(dir.filePath("box/x.txt"), "x");
        QCOMPARE(FileMove::moveInto(dir.filePath("box/x.txt"), dir.filePath("box")),
                 dir.filePath("box/x.txt"));
        QCOMPARE(QDir(dir.filePath("box")).entryList(QDir::Files), QStringList{"x.txt"});
    }

    // A folder with a file, an empty folder and a link, from one file system to another: the copy
    // holds the same, with modes and times, and only then is the original gone.
    void acrossFileSystems()
    {
        QTemporaryDir from;
        const QString shm = QStringLiteral("/dev/shm");
        if (!QFileInfo(shm).isWritable() || deviceOf(shm) == deviceOf(from.path()))
            QSKIP("no second file system to move to");
        QTemporaryDir to(shm + "/tolvane-move-XXXXXX");
        QVERIFY(to.isValid());
        const QString tree = from.filePath("Project");
        QVERIFY(QDir(tree).mkpath("empty") && QDir(tree).mkpath("docs"));
        QByteArray big(3 << 20, 'x');
        big[12345] = 'y';
        writeFile(tree + "/docs/big.bin", big);
        QVERIFY(QFile::setPermissions(tree + "/docs/big.bin", QFile::ReadOwner | QFile::ExeOwner));
        QVERIFY(QFile::link("docs/big.bin", tree + "/link"));
        const QDateTime mtime = QDateTime::fromSecsSinceEpoch(1'000'000'000);
        {
            QFile f(tree + "/docs/big.bin");
            QVERIFY(f.open(QIODevice::ReadOnly) && f.setFileTime(mtime, QFileDevice::FileModificationTime));
        }
        writeFile(to.filePath("Project"), "a file of the same name");

        const QString moved = FileMove::moveInto(tree, to.path());
        QCOMPARE(moved, to.filePath("Project 2"));
        QVERIFY(!QFileInfo::exists(tree));
        QCOMPARE(readAll(moved + "/docs/big.bin"), big);
        QCOMPARE(QFileInfo(moved + "/docs/big.bin").permissions() & 0x7000,
                 QFile::ReadOwner | QFile::ExeOwner);
        QCOMPARE(QFileInfo(moved + "/docs/big.bin").lastModified(), mtime);
        QCOMPARE(QFileInfo(moved + "/link").symLinkTarget(), moved + "/docs/big.bin");
        QVERIFY(QFileInfo(moved + "/empty").isDir());
        QCOMPARE(readAll(to.filePath("Project")), QByteArray("a file of the same name"));
        QCOMPARE(QDir(to.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 (QStringList{"Project", "Project 2"}));
    }

    // A copy that doesn't read back as the original (a write cut short or changed on its way to
    // the other disk, though it said all was written) fails the move: the original stays whole
    // and no hidden copy is left.
    void unfaithfulCopyKeepsTheOriginal()
    {
        QTemporaryDir from;
        const QString shm = QStringLiteral("/dev/shm");
        if (!QFileInfo(shm).isWritable() || deviceOf(shm) == deviceOf(from.path()))
            QSKIP("no second file system to move to");
        const QByteArray bytes = QByteArray("Original bytes, ") + QByteArray(100000, 'o');
        for (const QByteArray kind : {"drop", "flip"}) {
            QTemporaryDir to(shm + "/tolvane-move-XXXXXX");
            QVERIFY(to.isValid());
            const QString file = writeFile(from.filePath("Report.txt"), bytes);
            lossyFolder = QFile::encodeName(to.path());
            lossyKind = kind;
            const auto healed = qScopeGuard([] { lossyFolder.clear(); });
            QString message;
            try {
                FileMove::moveInto(file, to.path());
            } catch (const ConvertError& e) {
                message = e.message();
            }
            QVERIFY2(message.startsWith("Couldn’t move “Report.txt”: "), qPrintable(kind + ": " + message));
            QCOMPARE(readAll(file), bytes);
            QCOMPARE(QDir(to.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                     QStringList());
        }
    }
};

QTEST_GUILESS_MAIN(FileMoveTest)
#include "test_filemove.moc"
