#include "core/iwork.h"

#include "core/converterror.h"
#include "core/job.h"
#include "core/shell.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <thread>

using namespace std::chrono_literals;

namespace {

void writeFile(const QString& path, const QByteArray& bytes, QFile::Permissions permissions = {})
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();
    if (permissions) QVERIFY(file.setPermissions(permissions));
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Processes of the group that are still running (zombies awaiting their reaper do not count).
int livingMembers(pid_t group)
{
    int count = 0;
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList({"[0-9]*"}, QDir::Dirs)) {
        const QByteArray stat = readFile(QStringLiteral("/proc/%1/stat").arg(pid));
        const qsizetype close = stat.lastIndexOf(')');
        if (close < 0) continue;
        const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
        if (fields.size() > 2 && fields[0] != "Z" && fields[2].toInt() == group) ++count;
    }
    return count;
}

const QByteArray contentTypes =
    "<?xml version='1.0' encoding='UTF-8' standalone='yes'?>"
    "<Types xmlns='http://schemas.openxmlformats.org/package/2006/content-types'>"
    "<Default Extension='rels' ContentType='application/vnd.openxmlformats-package.relationships+xml'/>"
    "<Default Extension='xml' ContentType='application/xml'/>"
    "<Override PartName='/word/document.xml' "
    "ContentType='application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml'/>"
    "</Types>";

const QByteArray rootRels =
    "<?xml version='1.0' encoding='UTF-8' standalone='yes'?>"
    "<Relationships xmlns='http://schemas.openxmlformats.org/package/2006/relationships'>"
    "<Relationship Id='rId1' "
    "Type='http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument' "
    "Target='word/document.xml'/>"
    "</Relationships>";

const QByteArray documentXml =
    "<?xml version='1.0' encoding='UTF-8' standalone='yes'?>"
    "<w:document xmlns:w='http://schemas.openxmlformats.org/wordprocessingml/2006/main'>"
    "<w:body><w:p><w:r><w:t>A letter to convert.</w:t></w:r></w:p></w:body>"
    "</w:document>";

} // namespace

class IWorkTest : public QObject
{
    Q_OBJECT
  private:
    QTemporaryDir m_root;
    QString m_tmp;   // TMPDIR of the code under test: must be empty after every exchange
    QString m_fakes; // where fake LibreOffice programs are put

    void useFake(const QString& name, const QByteArray& body)
    {
        QDir(m_fakes).removeRecursively();
        QVERIFY(QDir().mkpath(m_fakes));
        writeFile(m_fakes + '/' + name, "#!/bin/sh\n" + body + "\n",
                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("TOLVANE_SEARCH_PATH", m_fakes.toUtf8());
    }

    QStringList leftovers() const
    {
        return QDir(m_tmp).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

  private slots:
    void initTestCase()
    {
        QVERIFY(m_root.isValid());
        m_tmp = m_root.filePath("tmp");
        m_fakes = m_root.filePath("fakes");
        QVERIFY(QDir().mkpath(m_tmp));
        qputenv("TMPDIR", m_tmp.toUtf8());
    }

    void cleanup() { QCOMPARE(leftovers(), QStringList()); }

    void realConversion()
    {
        qunsetenv("TOLVANE_SEARCH_PATH");
        if (!IWork::isInstalled(IWork::App::pages)) QSKIP("LibreOffice is not installed");

        QTemporaryDir work;
        QVERIFY(QDir().mkpath(work.filePath("pkg/_rels")) && QDir().mkpath(work.filePath("pkg/word")));
        writeFile(work.filePath("pkg/[Content_Types].xml"), contentTypes);
        writeFile(work.filePath("pkg/_rels/.rels"), rootRels);
        writeFile(work.filePath("pkg/word/document.xml"), documentXml);
        const QString input = work.filePath("Letter to Ana.docx");
        const auto zipped =
            Shell::run("/usr/bin/zip", {"-q", "-X", "-r", input, "[Content_Types].xml", "_rels", "word"},
                       work.filePath("pkg"));
        QCOMPARE(zipped.status, 0);

        const QString output = work.filePath(".tolvane-0A1B2C3D.pdf");
        IWork::export_(IWork::App::pages, input, output, QStringLiteral("PDF"), std::nullopt, nullptr);
        QVERIFY(readFile(output).startsWith("%PDF"));
        QCOMPARE(QDir(work.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
    }

    void fakeExchanges_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("error"); // empty: success, the output holds "converted"
        // The fake writes into --outdir (second-to-last argument) as LibreOffice would.
        const QByteArray writeResult = "while [ $# -gt 2 ]; do shift; done\n"
                                       "printf converted > \"$1/$(/usr/bin/basename \"$2\" .key).pptx\"";
        QTest::newRow("converts") << "soffice" << writeResult << QString();
        QTest::newRow("found as libreoffice") << "libreoffice" << writeResult << QString();
        QTest::newRow("exit 0, nothing written")
            << "soffice" << QByteArray("echo 'Error: source file could not be loaded' >&2")
            << "LibreOffice couldn’t convert the file. It produced no output.";
        QTest::newRow("exit 0, empty file")
            << "soffice"
            << QByteArray(
                   "while [ $# -gt 2 ]; do shift; done\n: > \"$1/$(/usr/bin/basename \"$2\" .key).pptx\"")
            << "LibreOffice couldn’t convert the file. It produced no output.";
        QTest::newRow("exit 3") << "soffice" << QByteArray("echo '  boom' >&2\nexit 3")
                                << "LibreOffice couldn’t convert the file. boom";
        QTest::newRow("blank stderr") << "soffice" << QByteArray("printf ' \\n\\n' >&2\nexit 1")
                                      << "LibreOffice couldn’t convert the file. ";
    }

    void fakeExchanges()
    {
        QFETCH(QString, program);
        QFETCH(QByteArray, body);
        QFETCH(QString, error);
        const QString argLog = m_root.filePath("args.txt");
        QFile::remove(argLog);
        useFake(program, "printf '%s\\n' \"$@\" > '" + argLog.toUtf8() + "'\n" + body);

        QTemporaryDir work;
        const QString input = work.filePath("Deck.key");
        writeFile(input, "slides");
        const QString output = work.filePath(".tolvane-00000000.pptx");
        try {
            IWork::export_(IWork::App::keynote, input, output, QStringLiteral("Microsoft PowerPoint"),
                           std::nullopt, nullptr);
            QVERIFY2(error.isEmpty(), "the exchange should have failed");
            QCOMPARE(readFile(output), QByteArray("converted"));
        } catch (const ConvertError& e) {
            QCOMPARE(e.kind(), ConvertError::Kind::failed);
            QCOMPARE(e.message(), error);
            QVERIFY(!QFile::exists(output));
        }

        const QStringList args = QString::fromUtf8(readFile(argLog)).split('\n', Qt::SkipEmptyParts);
        QVERIFY(args.contains("--headless"));
        QCOMPARE(args.mid(args.indexOf("--convert-to") + 1, 1),
                 QStringList{"pptx:Impress MS PowerPoint 2007 XML"});
        QCOMPARE(args.last(), input);
        const QStringList profile = args.filter("-env:UserInstallation=file://" + m_tmp + "/tolvane-");
        QCOMPARE(profile.size(), 1);
    }

    void refusedWithoutRunning_data()
    {
        QTest::addColumn<bool>("installed");
        QTest::addColumn<std::optional<QString>>("format");
        QTest::addColumn<QString>("outputName");
        QTest::addColumn<ConvertError::Kind>("kind");
        QTest::addColumn<QString>("message");
        QTest::newRow("not installed")
            << false << std::optional<QString>("PDF") << "out.pdf" << ConvertError::Kind::missingTool
            << "This conversion needs LibreOffice. Install it with: sudo apt install libreoffice";
        QTest::newRow("save as Pages")
            << true << std::optional<QString>() << "out.pages" << ConvertError::Kind::unsupported
            << "Can’t make PAGES with LibreOffice";
        QTest::newRow("unknown format")
            << true << std::optional<QString>("Keynote 09") << "out.key" << ConvertError::Kind::unsupported
            << "Can’t make Keynote 09 with LibreOffice";
    }

    void refusedWithoutRunning()
    {
        QFETCH(bool, installed);
        QFETCH(std::optional<QString>, format);
        QFETCH(QString, outputName);
        QFETCH(ConvertError::Kind, kind);
        QFETCH(QString, message);
        const QString marker = m_root.filePath("ran");
        useFake(installed ? "soffice" : "not-soffice", "/usr/bin/touch '" + marker.toUtf8() + "'");
        for (IWork::App app : {IWork::App::pages, IWork::App::keynote, IWork::App::numbers})
            QCOMPARE(IWork::isInstalled(app), installed);

        QTemporaryDir work;
        writeFile(work.filePath("in.docx"), "doc");
        try {
            IWork::export_(IWork::App::pages, work.filePath("in.docx"), work.filePath(outputName), format,
                           std::nullopt, nullptr);
            QFAIL("the exchange should have been refused");
        } catch (const ConvertError& e) {
            QCOMPARE(e.kind(), kind);
            QCOMPARE(e.message(), message);
        }
        QVERIFY(!QFile::exists(marker));
    }

    void stopped_data()
    {
        QTest::addColumn<bool>("cancel");
        QTest::newRow("cancelled by the job") << true;
        QTest::newRow("time limit") << false;
    }

    // The fake and its grandchild both sleep; stopping must end the whole group.
    void stopped()
    {
        QFETCH(bool, cancel);
        const QString pidFile = m_root.filePath("pid");
        QFile::remove(pidFile);
        useFake("soffice", "echo $$ > '" + pidFile.toUtf8() + "'\n/bin/sleep 30 &\n/bin/sleep 30");

        QTemporaryDir work;
        writeFile(work.filePath("Sheet.numbers"), "cells");
        Job job(QStringLiteral("Converting to XLSX"), QString(), 0);
        std::optional<ConvertError> error;
        std::thread worker([&] {
            try {
                IWork::export_(IWork::App::numbers, work.filePath("Sheet.numbers"), work.filePath("out.xlsx"),
                               QStringLiteral("Microsoft Excel"), std::nullopt, &job, cancel ? 1h : 500ms);
            } catch (const ConvertError& e) {
                error = e;
            }
        });
        QTRY_VERIFY_WITH_TIMEOUT(readFile(pidFile).trimmed().toInt() > 0, 10000);
        const pid_t group = readFile(pidFile).trimmed().toInt();
        if (cancel) job.cancel();
        worker.join();

        QVERIFY(error.has_value());
        if (cancel) {
            QVERIFY(error->isCancelled());
        } else {
            QCOMPARE(error->kind(), ConvertError::Kind::failed);
            QCOMPARE(error->message(), QStringLiteral("LibreOffice took too long and was stopped."));
        }
        QTRY_COMPARE_WITH_TIMEOUT(livingMembers(group), 0, 5000);
        QVERIFY(!QFile::exists(work.filePath("out.xlsx")));
    }
};

QTEST_GUILESS_MAIN(IWorkTest)
#include "test_iwork.moc"
