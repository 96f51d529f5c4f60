#include "core/zip.h"

#include "core/archive/saferead.h"
#include "core/converterror.h"
#include "core/shell.h"

#include "../support/files.h"

#include <QtTest>

Q_DECLARE_METATYPE(Member)

class ZipTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_root;
    const QString m_tmp = m_root.filePath("tmp"); // what the code under test sees; empty after each test
    const QString m_in = m_root.filePath("in");   // the tests' own archives

  private slots:
    void initTestCase()
    {
        QVERIFY(QDir().mkpath(m_tmp) && QDir().mkpath(m_in));
        qputenv("TMPDIR", QFile::encodeName(m_tmp));
    }

    void cleanup()
    {
        QCOMPARE(QDir(m_tmp).entryList(everything), QStringList());
        QVERIFY(QDir(m_in).removeRecursively() && QDir().mkpath(m_in));
    }

    // Written over an older archive: the mimetype first (its stored header is the EPUB writer's
    // test), then the parts by name in code-point order, a leading "-" not written as "./-…".
    void writeOverAndRoundTrip()
    {
        const QString out = m_in + "/book.epub";
        Zip::write({{"old.xml", "old"}, {"old/deep.xml", "old"}}, out);
        const QByteArray binary = QByteArray(70000, '\xfe') + QByteArray("\0\r\n\x1a", 4);
        const QMap<QString, QByteArray> parts{{"OEBPS/chapter 1.xhtml", "<p>één</p>"},
                                              {"images/a", binary},
                                              {"META-INF/container.xml", "<c/>"},
                                              {"-cover.xhtml", "<img/>"}};
        Zip::write(parts, out, QString("application/epub+zip"));

        QCOMPARE(Shell::run("/usr/bin/unzip", {"-Z1", out, "-x", "*/"}).out(),
                 "mimetype\n-cover.xhtml\nMETA-INF/container.xml\nOEBPS/chapter 1.xhtml\nimages/a\n");

        QString path;
        {
            const ScratchFolder folder = Zip::extract(out);
            path = folder.path();
            QCOMPARE(readAll(folder.file("mimetype")), "application/epub+zip");
            for (auto it = parts.begin(); it != parts.end(); ++it)
                QCOMPARE(readAll(folder.file(it.key())), it.value());
        }
        QVERIFY(!QFileInfo::exists(path)); // the unpacked folder goes with its owner
    }

    // What other readers must take from the writer: more entries than the classic directory
    // counts (zip64), a name outside ASCII, parts deflate can't shrink, empty parts.
    void otherReadersAgree()
    {
        const QString out = m_in + "/many.zip";
        QMap<QString, QByteArray> parts;
        for (int i = 0; i < 70000; ++i)
            parts.insert(QString("p/%1").arg(i, 5, 10, QChar('0')), QByteArray::number(i));
        QByteArray noise(100000, '\0');
        for (qsizetype i = 0; i < noise.size(); ++i)
            noise[i] = char((i * 7919 + (i >> 3) * 104729) >> 5);
        parts.insert("écrit/čísla.xml", "<a>ünïcode</a>");
        parts.insert("noise.bin", noise);
        parts.insert("empty", {});
        Zip::write(parts, out);

        QVERIFY(Shell::run("/usr/bin/unzip", {"-tq", out}).out().startsWith("No errors detected"));
        QVERIFY(Shell::run("/usr/bin/unzip", {"-Z", out}).out().contains("number of entries: 70003\n"));
        const QStringList listed =
            Shell::run("/usr/bin/unzip", {"-Z1", out}).out().split('\n', Qt::SkipEmptyParts);
        QCOMPARE(listed.size(), parts.size());
        QCOMPARE(listed.first(), "empty");
        QCOMPARE(listed.at(1), "noise.bin");
        QCOMPARE(listed.last(), "écrit/čísla.xml");
        for (const char* name : {"p/69999", "noise.bin", "écrit/čísla.xml", "empty"})
            QCOMPARE(Shell::run("/usr/bin/unzip", {"-p", out, name}).stdoutBytes, parts.value(name));
    }

    void refusesEscapingPartPaths()
    {
        const QString absolute = m_root.filePath("escape.xml");
        for (const QString& path : {QString("../escape.xml"), absolute, QString("a/../../escape.xml")})
            QVERIFY_THROWS_EXCEPTION(ConvertError, Zip::write({{"a.xml", "a"}, {path, "x"}}, m_tmp + "/no"));
        QVERIFY(!QFile::exists(absolute));
        // A part can't also be the folder of another.
        QVERIFY_THROWS_EXCEPTION(ConvertError, Zip::write({{"a", "x"}, {"a/b.xml", "y"}}, m_tmp + "/no"));
        QVERIFY(!QFile::exists(m_tmp + "/no"));
    }

    // Whatever an archive tries, nothing lands outside the scratch folder, which is removed.
    void refusesHostileArchives_data()
    {
        QTest::addColumn<Members>("members");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QByteArray>("understated"); // an entry whose headers then claim 16 bytes
        QTest::addColumn<bool>("links");             // about links, which reading in memory leaves out
        const auto row = [](const char* tag, const Members& members, const QString& reason,
                            const QByteArray& understated = {}) {
            QTest::newRow(tag) << members << reason << understated << QString(tag).contains("link");
        };
        const QByteArray absolute = QFile::encodeName(m_root.filePath("evil"));
        const QString out = "the link “%1” points outside the folder", up = "“%1” leads outside the folder";
        row("parent", {{"../evil", "x"}}, up.arg("../evil"));
        row("absolute", {{absolute, "x"}}, "“" + QString(absolute) + "” has an absolute path");
        row("inner parent", {{"a/", {}}, {"a/../../evil", "x"}}, up.arg("a/../../evil"));
        row("link out", {{"l", "../../outside", 'l'}}, out.arg("l"));
        row("link absolute", {{"l", "/etc", 'l'}}, out.arg("l"));
        row("through link", {{"sub/", {}}, {"l", "sub", 'l'}, {"l/evil", "x"}},
            "“l/evil” goes through a link");
        // Each link is harmless when made; together they point out.
        row("link chain", {{"d/", {}}, {"e", "d/..", 'l'}, {"d", ".", 'l'}}, out.arg("e"));
        row("hard link", {{"h", "/etc/hostname", 'h'}}, out.arg("h"));
        const QByteArray mebibyte(1 << 20, '\0');
        row("bomb", {{"bomb", mebibyte}}, "it unpacks to more than 65536 bytes");
        // Only the bytes really unpacked are left to count.
        row("understated bomb", {{"bomb", mebibyte}}, "it unpacks to more than 65536 bytes", "bomb");
        row("entries", {{"a", "1"}, {"b", "2"}, {"c", "3"}, {"d", "4"}}, "it holds more than 3 entries");
    }

    void refusesHostileArchives()
    {
        QFETCH(Members, members);
        QFETCH(QString, reason);
        QFETCH(QByteArray, understated);
        QFETCH(bool, links);
        const QString zip = writeArchive(m_in + "/hostile.zip", members);
        if (!understated.isEmpty()) patchZipEntry(zip, understated, ZipField::size, 16);
        try {
            Zip::extract(zip, ExtractLimits{65536, 3});
            QFAIL("a hostile archive was unpacked");
        } catch (const ConvertError& e) {
            QCOMPARE(e.message(), "Couldn’t unpack hostile.zip: " + reason);
        }
        QCOMPARE(QDir(m_root.path()).entryList(everything), QStringList({"in", "tmp"}));
        if (links) return;
        try {
            readSafely(zip, ExtractLimits{65536, 3});
            QFAIL("a hostile archive was read");
        } catch (const ConvertError& e) {
            QCOMPARE(e.message(), "Couldn’t unpack hostile.zip: " + reason);
        }
    }

    // In memory: the files by their cleaned names, a later copy of a name winning; folders and
    // links left out; damaged data refused.
    void readsFilesInMemory()
    {
        const Members members{{"dir/", {}},
                              {"dir/a.txt", "one"},
                              {"l", "dir/a.txt", 'l'},
                              {"./x//b.txt", "two"},
                              {"dir/a.txt", "three"}};
        const QString zip = writeArchive(m_in + "/parts.zip", members);
        const QMap<QString, QByteArray> expected{{"x/b.txt", "two"}, {"dir/a.txt", "three"}};
        QCOMPARE(readSafely(zip), expected);
        patchZipEntry(zip, "./x//b.txt", ZipField::crc, 0x12345678);
        try {
            readSafely(zip);
            QFAIL("a damaged entry was read");
        } catch (const ConvertError& e) {
            QCOMPARE(e.message(), QString("./x//b.txt in parts.zip is damaged"));
        }
    }

    void keepsLinksThatStayInside()
    {
        const Members members{{"file.txt", "inside"}, {"docs/", {}}, {"docs/link", "../file.txt", 'l'}};
        const ScratchFolder folder = Zip::extract(writeArchive(m_in + "/links.zip", members));
        QCOMPARE(readAll(folder.file("docs/link")), "inside");
    }
};

QTEST_GUILESS_MAIN(ZipTest)
#include "test_zip.moc"
