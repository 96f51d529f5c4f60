#include "core/xml.h"

#include <QtTest>

class XmlTest : public QObject
{
    Q_OBJECT
  private slots:
    void escaping_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("escaped");
        QTest::newRow("markup") << "<a href=\"x\">Tom's & Jerry</a>"
                                << "&lt;a href=&quot;x&quot;&gt;Tom&apos;s &amp; Jerry&lt;/a&gt;";
        QTest::newRow("entity escaped again") << "&amp;"
                                              << "&amp;amp;";
        QTest::newRow("kept whitespace") << "a\tb\nc\rd"
                                         << "a\tb\nc\rd";
        QTest::newRow("dropped controls") << QString("a") + QChar(0) +
                                                 "b\x0c"
                                                 "c\x1f"
                                          << "abc";
        QTest::newRow("delete and non-ASCII kept")
            << QString("\x7f") + "été 中" << QString("\x7f") + "été 中";
        QTest::newRow("noncharacters dropped") << QString("a") + QChar(0xFFFE) + "b" + QChar(0xFFFF) << "ab";
        QTest::newRow("emoji kept") << "ok 😀!"
                                    << "ok 😀!";
        QTest::newRow("lone high surrogate") << QString("a") + QChar(0xD83D) + "b"
                                             << "ab";
        QTest::newRow("lone low surrogate") << QString("a") + QChar(0xDE00) << "a";
        QTest::newRow("reversed pair") << QString(QChar(0xDE00)) + QChar(0xD83D) << "";
        QTest::newRow("high at end") << QString("x") + QChar(0xD83D) << "x";
    }

    void escaping()
    {
        QFETCH(QString, text);
        QFETCH(QString, escaped);
        QCOMPARE(xmlEscaped(text), escaped);
    }
};

QTEST_GUILESS_MAIN(XmlTest)
#include "test_xml.moc"
