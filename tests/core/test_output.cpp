#include "core/converterror.h"
#include "core/output.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>
#include <latch>
#include <thread>

namespace {

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QStringList hiddenItems(const QString& folder)
{
    return QDir(folder).entryList({".tolvane-*"}, QDir::AllEntries | QDir::Hidden | QDir::System);
}

} // namespace

class OutputTest : public QObject
{
    Q_OBJECT
private slots:
    void commitNeverReplaces_data()
    {
        QTest::addColumn<QStringList>("existing"); // a trailing "/" makes a folder
        QTest::addColumn<QString>("destination");
        QTest::addColumn<bool>("makesFolder");
        QTest::addColumn<QString>("expected");
        QTest::newRow("free name") << QStringList{} << "Photo.png" << false << "Photo.png";
        QTest::newRow("numbered past taken")
            << QStringList{"Photo.png", "Photo 2.png"} << "Photo.png" << false << "Photo 3.png";
        QTest::newRow("tar.gz is one extension") << QStringList{"Backup.tar.gz"} << "Backup.tar.gz" << false
                                                 << "Backup 2.tar.gz";
        QTest::newRow("no extension") << QStringList{"Notes"} << "Notes" << false << "Notes 2";
        QTest::newRow("folder") << QStringList{"Report Pages/"} << "Report Pages" << true << "Report Pages 2";
        QTest::newRow("folder with a dot")
            << QStringList{"Deck v1.2/"} << "Deck v1.2" << true << "Deck v1.2 2";
        QTest::newRow("file takes a folder's name") << QStringList{"Clip.mov/"} << "Clip.mov" << false
                                                    << "Clip 2.mov";
    }

    void commitNeverReplaces()
    {
        QFETCH(QStringList, existing);
        QFETCH(QString, destination);
        QFETCH(bool, makesFolder);
        QFETCH(QString, expected);

        QTemporaryDir dir;
        for (const QString& item : existing) {
            if (item.endsWith('/')) {
                QVERIFY(QDir(dir.path()).mkdir(item));
                writeFile(dir.filePath(item + "keep.txt"), "old " + item.toUtf8());
            } else {
                writeFile(dir.filePath(item), "old " + item.toUtf8());
            }
        }

        const QString result = Output::write(dir.filePath(destination), [&](const QString& temporary) {
            QCOMPARE(QFileInfo(temporary).absolutePath(), dir.path());
            if (makesFolder) {
                QVERIFY(QDir().mkdir(temporary));
                writeFile(temporary + "/page.txt", "new");
            } else {
                writeFile(temporary, "new");
            }
        });

        QCOMPARE(result, dir.filePath(expected));
        QCOMPARE(readFile(makesFolder ? result + "/page.txt" : result), QByteArray("new"));
        for (const QString& item : existing) {
            const QString kept = item.endsWith('/') ? dir.filePath(item + "keep.txt") : dir.filePath(item);
            QCOMPARE(readFile(kept), "old " + item.toUtf8());
        }
        QVERIFY(hiddenItems(dir.path()).isEmpty());
    }

    void uniqueWithoutExtensionIsAFolderName()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath("Clip"), "x");
        QCOMPARE(Output::unique(dir.path(), "Clip", std::nullopt), dir.filePath("Clip 2"));
        QCOMPARE(Output::unique(dir.path(), "Clip", QString("mov")), dir.filePath("Clip.mov"));
    }

    void names_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("temporaryPattern");
        QTest::newRow("tgz") << "/a/Archive.TGZ" << "Archive" << R"(^/a/\.tolvane-[0-9A-F]{8}\.TGZ$)";
        QTest::newRow("tar.gz") << "/a/Backup.tar.gz" << "Backup" << R"(^/a/\.tolvane-[0-9A-F]{8}\.gz$)";
        QTest::newRow("two dots") << "/a/movie.final.mp4"
                                  << "movie.final"
                                  << R"(^/a/\.tolvane-[0-9A-F]{8}\.mp4$)";
        QTest::newRow("no extension") << "/a/README" << "README" << R"(^/a/\.tolvane-[0-9A-F]{8}$)";
        QTest::newRow("hidden name") << "/a/.profile" << ".profile" << R"(^/a/\.tolvane-[0-9A-F]{8}$)";
    }

    void names()
    {
        QFETCH(QString, path);
        QFETCH(QString, base);
        QFETCH(QString, temporaryPattern);
        QCOMPARE(Output::baseName(path), base);
        const QString temporary = Output::temporaryPath(path);
        QVERIFY2(QRegularExpression(temporaryPattern).match(temporary).hasMatch(), qPrintable(temporary));
        QVERIFY(temporary != Output::temporaryPath(path));
    }

    void failedWritesLeaveNothing_data()
    {
        QTest::addColumn<QString>("producer");
        QTest::addColumn<QString>("error");
        QTest::newRow("half a file, then cancelled") << "file" << "Cancelled";
        QTest::newRow("half a folder, then cancelled") << "folder" << "Cancelled";
        QTest::newRow("writes nothing") << "nothing" << "Nothing was written";
    }

    void failedWritesLeaveNothing()
    {
        QFETCH(QString, producer);
        QFETCH(QString, error);
        QTemporaryDir dir;
        try {
            Output::write(dir.filePath("Out.pdf"), [&](const QString& temporary) {
                if (producer == "nothing") return;
                if (producer == "folder") QDir().mkdir(temporary);
                writeFile(producer == "folder" ? temporary + "/Page 001.png" : temporary, "half");
                throw ConvertError::cancelled();
            });
            QFAIL("a failed write returned a result");
        } catch (const ConvertError& e) {
            QCOMPARE(e.description(), error);
        }
        QVERIFY(QDir(dir.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    }

    void failedMoveKeepsTemporary()
    {
        QTemporaryDir dir;
        const QString temporary = Output::temporaryPath(dir.filePath("Out.txt"));
        writeFile(temporary, "data");
        try {
            Output::commit(temporary, dir.filePath("missing/Out.txt"));
            QFAIL("commit into a missing folder succeeded");
        } catch (const ConvertError& e) {
            QCOMPARE(e.kind(), ConvertError::Kind::failed);
            QVERIFY2(e.description().startsWith("Couldn’t save Out.txt: "), qPrintable(e.description()));
        }
        QCOMPARE(readFile(temporary), QByteArray("data"));
    }

    // Every commit racing for one name keeps its own result under its own name.
    void racingCommits()
    {
        constexpr int writers = 16;
        QTemporaryDir dir;
        const QString destination = dir.filePath("Same.txt");
        writeFile(destination, "original");

        std::latch ready(writers);
        QString results[writers];
        QString errors[writers];
        std::vector<std::thread> threads;
        for (int i = 0; i < writers; ++i) {
            threads.emplace_back([&, i] {
                try {
                    results[i] = Output::write(destination, [&](const QString& temporary) {
                        QFile file(temporary);
                        if (file.open(QIODevice::WriteOnly)) file.write("result " + QByteArray::number(i));
                        file.close();
                        ready.arrive_and_wait();
                    });
                } catch (const std::exception& e) {
                    errors[i] = errorDescription(e);
                }
            });
        }
        for (auto& thread : threads) thread.join();

        QSet<QString> names;
        for (int i = 0; i < writers; ++i) {
            QVERIFY2(errors[i].isEmpty(), qPrintable(errors[i]));
            QVERIFY(results[i] != destination);
            QCOMPARE(readFile(results[i]), "result " + QByteArray::number(i));
            names.insert(results[i]);
        }
        QCOMPARE(names.size(), writers);
        QCOMPARE(readFile(destination), QByteArray("original"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), writers + 1);
    }

    void scratchFolders()
    {
        const QString a = Output::scratch();
        const QString b = Output::scratch();
        QVERIFY(a != b);
        for (const QString& path : {a, b}) {
            const QFileInfo info(path);
            QVERIFY(info.isDir());
            QCOMPARE(info.absolutePath(), QDir::tempPath());
            QVERIFY(QRegularExpression("^tolvane-[0-9A-F-]{36}$").match(info.fileName()).hasMatch());
            QVERIFY(QDir(path).isEmpty());
            QVERIFY(QDir(path).removeRecursively());
        }
    }
};

QTEST_GUILESS_MAIN(OutputTest)
#include "test_output.moc"
