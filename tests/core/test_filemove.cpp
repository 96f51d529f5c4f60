// Moving the user's items: taken names are numbered, nothing is replaced, and between file systems
// the original goes only after a checked copy stands in its place.

#include "core/converterror.h"
#include "core/filemove.h"

#include "../support/files.h"

#include <QDir>
#include <QFile>
#include <QtTest>
#include <sys/stat.h>

namespace {

dev_t deviceOf(const QString& path)
{
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_dev : dev_t(-1);
}

} // namespace

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
};

QTEST_GUILESS_MAIN(FileMoveTest)
#include "test_filemove.moc"
