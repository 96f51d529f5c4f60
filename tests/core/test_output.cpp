#include "core/converterror.h"
#include "core/output.h"

#include <QtTest>
#include <future>
#include <latch>

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

    void names()
    {
        // clang-format off
        for (const auto& [path, base, ext] : QList<std::tuple<QString, QString, QString>>{
                 {"/a/Archive.TGZ", "Archive", ".TGZ"}, {"/a/Backup.tar.gz", "Backup", ".gz"},
                 {"/a/movie.final.mp4", "movie.final", ".mp4"}, {"/a/.profile", ".profile", ""}}) {
            QCOMPARE(Output::baseName(path), base);
            // Hidden, beside the destination (one file system for the rename), keeping the extension.
            const QString temp = Output::temporaryPath(path);
            QVERIFY(temp.startsWith("/a/.tolvane-") && temp.size() == 20 + ext.size() && temp.endsWith(ext));
        }
        // clang-format on
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
};

QTEST_GUILESS_MAIN(OutputTest)
#include "test_output.moc"
