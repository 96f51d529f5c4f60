// --selftest through the program over a folder of just the six samples, sample.pdf of one or two
// pages: every check passes, the archive is made from the samples, and organize and merge take
// the pages there are. Run under a German locale, as the other self-test cases.

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include "../support/selftestrun.h"

class SelfTestPagesTest : public QObject
{
    Q_OBJECT

  private slots:
    void sixSamplesOfAnyPageCountPass_data()
    {
        QTest::addColumn<int>("pages");
        QTest::newRow("one page") << 1;
        QTest::newRow("two pages") << 2;
    }

    void sixSamplesOfAnyPageCountPass()
    {
        QFETCH(int, pages);
        QTemporaryDir folder;
        const QString dir = folder.path();
        QVERIFY(makeSamples(dir, pages));
        const Run run = selftest(dir);
        QVERIFY2(!run.lines.join('\n').contains("✗"), qPrintable(run.lines.join('\n')));
        QCOMPARE(run.status, 0);
        QCOMPARE(run.lines.size(), names.size() + 1);
        QCOMPARE(run.lines.last(), QStringLiteral("All tool checks passed."));
        verifyPassed(run.lines[names.indexOf("organize pdf")], "organize pdf", dir, {"sample Organized.pdf"});
        verifyPassed(run.lines[names.indexOf("extract archive")], "extract archive", dir,
                     {"sample Extracted"});
        // The merge holds the sample twice over; the organized copy its last page, then its first
        // turned a quarter.
        const QString merged = popplerSays("pdfinfo", {QDir(dir).filePath("sample Merged.pdf")});
        QVERIFY2(hasLine(merged, QStringLiteral("^Pages: +%1$").arg(2 * pages)), qPrintable(merged));
        const QString organized = QDir(dir).filePath("sample Organized.pdf");
        const QString said = popplerSays("pdfinfo", {"-f", "1", "-l", "2", organized});
        QVERIFY2(hasLine(said, "^Pages: +2$") && hasLine(said, "^Page +1 rot: +0$") &&
                     hasLine(said, "^Page +2 rot: +90$"),
                 qPrintable(said));
        QCOMPARE(popplerSays("pdftotext", {"-f", "1", "-l", "1", organized, "-"}).trimmed(),
                 QStringLiteral("Sample page %1").arg(pages));
        QCOMPARE(popplerSays("pdftotext", {"-f", "2", "-l", "2", organized, "-"}).trimmed(),
                 QString("Sample page 1"));
    }
};

QTEST_GUILESS_MAIN(SelfTestPagesTest)
#include "test_selftestpages.moc"
