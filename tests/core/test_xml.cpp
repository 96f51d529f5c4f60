#include "core/xml.h"

#include <QtTest>

class XmlTest : public QObject
{
    Q_OBJECT
  private slots:
    // Markup is escaped; characters XML cannot hold (controls, noncharacters, unpaired surrogates)
    // are dropped, while tabs, line ends, non-ASCII and surrogate pairs are kept.
    void escaping()
    {
        const QChar high(0xD83D), low(0xDE00);
        const std::pair<QString, QString> rows[] = {
            {"<a href=\"x\">Tom's &amp;</a>", "&lt;a href=&quot;x&quot;&gt;Tom&apos;s &amp;amp;&lt;/a&gt;"},
            {QString("a\tb\nc\rd") + QChar(0) + "\x0c\x1f\x7f", "a\tb\nc\rd\x7f"},
            {QString("été 中 😀") + QChar(0xFFFE) + QChar(0xFFFF), "été 中 😀"},
            {QString("a") + high + "b" + low + "c" + low + high + "d" + high, "abcd"},
        };
        for (const auto& [text, escaped] : rows)
            QCOMPARE(xmlEscaped(text), escaped);
    }
};

QTEST_GUILESS_MAIN(XmlTest)
#include "test_xml.moc"
