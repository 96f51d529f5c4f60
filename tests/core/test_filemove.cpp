// Moving the user's items: taken names are numbered, nothing is replaced, and between file systems
// the original goes only after a checked copy stands in its place.

#include "core/converterror.h"
#include "core/filemove.h"

#include <QDir>
#include <QFile>
#include <QtTest>
#include <sys/stat.h>

namespace {

void write(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray read(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

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
    void names_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("taken"); // already in the destination
        QTest::addColumn<QString>("moved");
        QTest::newRow("free") << "a.txt"
                              << ""
                              << "a.txt";
        QTest::newRow("taken") << "a.txt"
                               << "a.txt"
                               << "a 2.txt";
        QTest::newRow("no extension") << "README"
                                      << "README"
                                      << "README 2";
        QTest::newRow("last extension only") << "backup.tar.gz"
                                             << "backup.tar.gz"
                                             << "backup.tar 2.gz";
        QTest::newRow("hidden") << ".profile"
                                << ".profile"
                                << ".profile 2";
    }

    // Both files are kept when the name is taken.
    void names()
    {
        QFETCH(QString, name);
        QFETCH(QString, taken);
        QTemporaryDir from, to;
        write(from.filePath(name), "moved");
        if (!taken.isEmpty()) write(to.filePath(taken), "was there");
        const QString result = FileMove::moveInto(from.filePath(name), to.path());
        QTEST(QFileInfo(result).fileName(), "moved");
        QCOMPARE(read(result), QByteArray("moved"));
        if (!taken.isEmpty()) QCOMPARE(read(to.filePath(taken)), QByteArray("was there"));
        QVERIFY(!QFileInfo::exists(from.filePath(name)));
    }

    void refusals()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath("box/inner"));
        try {
            FileMove::moveInto(dir.filePath("box"), dir.filePath("box/inner"));
            QFAIL("moved a folder into itself");
        } catch (const ConvertError& e) {
            QCOMPARE(e.message(), QString("Couldn’t move “box” into itself"));
        }
        try {
            FileMove::moveInto(dir.filePath("gone.txt"), dir.filePath("box"));
            QFAIL("moved nothing");
        } catch (const ConvertError& e) {
            QVERIFY2(e.message().startsWith("Couldn’t move “gone.txt”: "), qPrintable(e.message()));
        }
        QVERIFY(QFileInfo(dir.filePath("box/inner")).isDir());
        // An item already in the folder stays as it is rather than becoming "x 2".
        write(dir.filePath("box/x.txt"), "x");
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
        write(tree + "/docs/big.bin", big);
        QVERIFY(QFile::setPermissions(tree + "/docs/big.bin", QFile::ReadOwner | QFile::ExeOwner));
        QVERIFY(QFile::link("docs/big.bin", tree + "/link"));
        const QDateTime mtime = QDateTime::fromSecsSinceEpoch(1'000'000'000);
        {
            QFile f(tree + "/docs/big.bin");
            QVERIFY(f.open(QIODevice::ReadOnly) && f.setFileTime(mtime, QFileDevice::FileModificationTime));
        }
        write(to.filePath("Project"), "a file of the same name");

        const QString moved = FileMove::moveInto(tree, to.path());
        QCOMPARE(moved, to.filePath("Project 2"));
        QVERIFY(!QFileInfo::exists(tree));
        QCOMPARE(read(moved + "/docs/big.bin"), big);
        QCOMPARE(QFileInfo(moved + "/docs/big.bin").permissions() & 0x7000,
                 QFile::ReadOwner | QFile::ExeOwner);
        QCOMPARE(QFileInfo(moved + "/docs/big.bin").lastModified(), mtime);
        QCOMPARE(QFileInfo(moved + "/link").symLinkTarget(), moved + "/docs/big.bin");
        QVERIFY(QFileInfo(moved + "/empty").isDir());
        QCOMPARE(read(to.filePath("Project")), QByteArray("a file of the same name"));
        QCOMPARE(QDir(to.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 (QStringList{"Project", "Project 2"}));
    }
};

QTEST_GUILESS_MAIN(FileMoveTest)
#include "test_filemove.moc"
