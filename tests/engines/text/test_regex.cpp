#include "engines/text/regex.h"

#include <QtTest>
#include <thread>
#include <vector>

class RegexTest : public QObject
{
    Q_OBJECT
  private slots:
    void groups()
    {
        // A group that takes no part is empty, in its place; no match is nothing, not an empty list.
        QCOMPARE(Regex::groups("ab", "(x)?(a)(b)"), QStringList({"ab", "", "a", "b"}));
        QCOMPARE(Regex::groups("xyz", "(a)|(b)"), std::nullopt);
        QCOMPARE(Regex::groups("abc", "(a)|(z)"), QStringList({"a", "a", ""}));
        // Unicode properties: \w and \d reach beyond ASCII; inline flags work.
        QCOMPARE(Regex::groups("café", "^\\w+$"), QStringList({"café"}));
        QCOMPARE(Regex::groups("<BODY>x\ny</body>", "(?is)<body>(.*)</body>"),
                 QStringList({"<BODY>x\ny</body>", "x\ny"}));
    }

    void replace()
    {
        const auto drop = [](const QStringList&) { return QString(); };
        QCOMPARE(Regex::replace("a1b22c", "\\d+", drop), "abc");
        QCOMPARE(Regex::replace("abc", "\\d+", drop), "abc");
        // Replacements are literal and never searched again.
        QCOMPARE(Regex::replace("a-b", "-", [](const QStringList&) { return QString("\\0--$1"); }),
                 "a\\0--$1b");
        QCOMPARE(Regex::replace("xx", "x", [](const QStringList& g) { return g[0] + g[0]; }), "xxxx");
        QCOMPARE(Regex::matches("a1b22c333", "\\d+"), QStringList({"1", "22", "333"}));
    }

    // Threads that all meet a new pattern at once share one compiled expression and match alike.
    void concurrentUse()
    {
        const QString pattern = "(\\w+)@(\\w+)";
        std::vector<QString> results(8);
        std::vector<std::thread> threads;
        for (size_t i = 0; i < results.size(); ++i)
            threads.emplace_back([&, i] {
                QString text;
                for (int k = 0; k < 2000; ++k)
                    text += QString("u%1@h%2 ").arg(k).arg(i);
                results[i] = Regex::replace(text, pattern, [](const QStringList& g) { return g[2]; });
            });
        for (std::thread& t : threads)
            t.join();
        for (size_t i = 0; i < results.size(); ++i)
            QCOMPARE(results[i], QString("h%1 ").arg(i).repeated(2000));
        QCOMPARE(&Regex::compiled(pattern), &Regex::compiled(QString(pattern)));
    }
};

QTEST_GUILESS_MAIN(RegexTest)
#include "test_regex.moc"
