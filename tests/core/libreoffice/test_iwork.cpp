#include "core/libreoffice/iwork.h"

#include "core/converterror.h"
#include "core/job.h"

#include "../../support/files.h"

#include <QtTest>
#include <thread>

using namespace std::chrono_literals;

class IWorkTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_root;
    const QString m_tmp = m_root.filePath("tmp"); // TMPDIR of the code under test: empty after every exchange

  private slots:
    void initTestCase()
    {
        QVERIFY(QDir().mkpath(m_tmp));
        qputenv("TMPDIR", m_tmp.toUtf8());
    }

    void cleanup() { QVERIFY(QDir(m_tmp).isEmpty()); }

    // A fake LibreOffice program of the given name logs its process id and arguments, then runs
    // the body. Like LibreOffice it keeps a folder in TMPDIR while it runs, which it removes when
    // it exits but leaves when it is stopped.
    void exchange_data()
    {
        QTest::addColumn<QString>("program"); // "none": LibreOffice is missing
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("error"); // empty: the output holds "converted"
        // The fake writes into --outdir (the second-to-last argument) as LibreOffice would.
        const QByteArray write = "while [ $# -gt 2 ]; do shift; done\n"
                                 "printf converted > \"$1/$(/usr/bin/basename \"$2\" .key).pptx\"";
        const QString failed = "LibreOffice couldn’t convert the file. ";
        const QString noOutput = failed + "It produced no output.";
        const QByteArray sleeps = "/bin/sleep 30 &\n/bin/sleep 30"; // a whole group to end
        QTest::newRow("converts") << "soffice" << write << "";
        QTest::newRow("as libreoffice") << "libreoffice" << write << "";
        QTest::newRow("nothing") << "soffice" << QByteArray("echo 'Error: not loaded' >&2") << noOutput;
        QTest::newRow("empty") << "soffice" << QByteArray(write).replace("printf converted", ":") << noOutput;
        QTest::newRow("exit 3") << "soffice" << QByteArray("echo '  boom' >&2\nexit 3") << failed + "boom";
        QTest::newRow("missing") << "none" << write
                                 << "This conversion needs LibreOffice. "
                                    "Install it with: sudo apt install libreoffice";
        QTest::newRow("cancelled") << "soffice" << sleeps << "(cancelled)";
        QTest::newRow("time limit") << "soffice" << sleeps << "LibreOffice took too long and was stopped.";
    }

    void exchange()
    {
        QFETCH(QString, program);
        QFETCH(QByteArray, body);
        QFETCH(QString, error);
        const QString fakes = m_root.filePath(QTest::currentDataTag()), log = fakes + "/log";
        QFile fake(fakes + '/' + program);
        QVERIFY(QDir().mkpath(fakes) && fake.open(QIODevice::WriteOnly));
        fake.write("#!/bin/sh\n{ echo $$; printf '%s\\n' \"$@\"; } > '" + log.toUtf8() +
                   "'\n/bin/mkdir \"$TMPDIR/lu$$.tmp\" && trap '/bin/rmdir \"$TMPDIR/lu$$.tmp\"' EXIT\n" +
                   body + '\n');
        fake.close();
        QVERIFY(fake.setPermissions(QFile::ReadOwner | QFile::ExeOwner));
        qputenv("TOLVANE_SEARCH_PATH", fakes.toUtf8());
        const QString input = fakes + "/Deck.key", output = fakes + "/.tolvane-00000000.pptx";
        QFile deck(input);
        QVERIFY(deck.open(QIODevice::WriteOnly) && deck.write("deck") == 4);
        deck.close();
        Job job("Converting to PPTX", QString(), 0);
        std::jthread canceller([&, cancels = error == "(cancelled)"] { // once the fake runs
            for (int i = 0; cancels && i < 999 && !readAll(log).endsWith("key\n"); ++i)
                QThread::msleep(10);
            if (cancels) job.cancel();
        });
        try {
            IWork::export_(IWork::App::keynote, input, output, QString("Microsoft PowerPoint"), std::nullopt,
                           &job, error.contains("too long") ? 500ms : 1h);
            QCOMPARE(readAll(output) + error.toUtf8(), "converted"); // and no failure was expected
        } catch (const ConvertError& e) {
            QCOMPARE(e.isCancelled() ? "(cancelled)" : e.message(), error);
            QCOMPARE(e.kind() == ConvertError::Kind::missingTool, program == "none");
            QVERIFY(!QFile::exists(output));
        }
        const QStringList logged = QString::fromUtf8(readAll(log)).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(logged.size() > 1, program != "none"); // a refused exchange runs nothing
        if (program == "none") return;
        QVERIFY(logged.join('|').contains("|--convert-to|pptx:Impress MS PowerPoint 2007 XML|--outdir|"));
        QCOMPARE(logged.filter("-env:UserInstallation=file://" + m_tmp + "/").size(), 1); // a private profile
    }
};

QTEST_GUILESS_MAIN(IWorkTest)
#include "test_iwork.moc"
