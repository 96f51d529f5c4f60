#include "core/zip.h"

#include "core/converterror.h"

#include <QtEndian>
#include <QtTest>

namespace {

struct Entry {
    QByteArray name;
    QByteArray data;
    QByteArray symlinkTarget;  // non-empty: a link to this target
};

quint32 crc32(const QByteArray& bytes)
{
    quint32 crc = 0xFFFFFFFF;
    for (char byte : bytes) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320 & (0u - (crc & 1)));
    }
    return ~crc;
}

void put16(QByteArray& out, quint16 value) { out.append(char(value & 0xFF)).append(char(value >> 8)); }
void put32(QByteArray& out, quint32 value) { put16(out, quint16(value & 0xFFFF)); put16(out, quint16(value >> 16)); }
quint16 get16(const QByteArray& in, qsizetype at) { return qFromLittleEndian<quint16>(in.constData() + at); }
quint32 get32(const QByteArray& in, qsizetype at) { return qFromLittleEndian<quint32>(in.constData() + at); }

// A zip made by Unix: symbolic links carry their mode in the external attributes. Deflated
// entries may declare a false uncompressed size, as a hostile archive would.
QByteArray makeZip(const QList<Entry>& entries, bool deflate = false, qint64 declaredSize = -1)
{
    QByteArray out, central;
    for (const Entry& e : entries) {
        const QByteArray plain = e.symlinkTarget.isEmpty() ? e.data : e.symlinkTarget;
        const bool packed = deflate && e.symlinkTarget.isEmpty();
        const QByteArray stored = packed ? qCompress(plain).mid(6).chopped(4) : plain;
        const quint32 size = declaredSize >= 0 ? quint32(declaredSize) : quint32(plain.size());
        const quint32 mode = e.symlinkTarget.isEmpty() ? 0100644 : 0120777;
        const quint32 offset = quint32(out.size());
        QByteArray common;
        put16(common, 20); put16(common, 0); put16(common, packed ? 8 : 0); put32(common, 0x21);
        put32(common, crc32(plain)); put32(common, quint32(stored.size())); put32(common, size);
        put16(common, quint16(e.name.size())); put16(common, 0);
        put32(out, 0x04034b50); out += common + e.name + stored;
        put32(central, 0x02014b50); put16(central, 0x0314); central += common;
        put16(central, 0); put16(central, 0); put16(central, 0); put32(central, mode << 16); put32(central, offset);
        central += e.name;
    }
    const quint32 centralOffset = quint32(out.size());
    out += central;
    put32(out, 0x06054b50); put16(out, 0); put16(out, 0); put16(out, quint16(entries.size()));
    put16(out, quint16(entries.size())); put32(out, quint32(central.size())); put32(out, centralOffset); put16(out, 0);
    return out;
}

// A ustar archive holding one hard link.
QByteArray makeTarHardLink(const QByteArray& name, const QByteArray& target)
{
    QByteArray header(512, '\0');
    auto field = [&](int at, const QByteArray& value) { header.replace(at, value.size(), value); };
    field(0, name); field(100, "0000644"); field(108, "0000000"); field(116, "0000000");
    field(124, "00000000000"); field(136, "00000000000"); field(148, "        ");
    field(156, "1"); field(157, target); field(257, "ustar"); field(263, "00");
    int sum = 0;
    for (char c : header)
        sum += quint8(c);
    field(148, QByteArray::number(sum, 8).rightJustified(6, '0') + '\0');
    return header + QByteArray(1024, '\0');
}

struct Listed {
    QByteArray name;
    int method;
};

// The entries of the central directory in archive order.
QList<Listed> centralDirectory(const QByteArray& zip)
{
    QList<Listed> entries;
    const qsizetype end = zip.size() - 22;
    qsizetype at = get32(zip, end + 16);
    for (int i = 0; i < get16(zip, end + 10); ++i) {
        const quint16 nameLength = get16(zip, at + 28);
        entries.append({zip.mid(at + 46, nameLength), get16(zip, at + 10)});
        at += 46 + nameLength + get16(zip, at + 30) + get16(zip, at + 32);
    }
    return entries;
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class ZipTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_root;
    QString m_tmp;  // the temporary directory the code under test sees
    QString m_in;   // where the tests put their own archives

    QStringList leftovers() const { return QDir(m_tmp).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot); }

    QString save(const QString& name, const QByteArray& bytes) const
    {
        const QString path = m_in + '/' + name;
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write the fixture");
        return path;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_root.isValid());
        m_tmp = m_root.filePath("tmp");
        m_in = m_root.filePath("in");
        QVERIFY(QDir().mkpath(m_tmp) && QDir().mkpath(m_in));
        qputenv("TMPDIR", QFile::encodeName(m_tmp));
    }

    void cleanup()
    {
        QCOMPARE(leftovers(), QStringList());
        QVERIFY(QDir(m_in).removeRecursively() && QDir().mkpath(m_in));
    }

    void mimetypeComesFirstAndStored()
    {
        const QByteArray mimetype = "application/vnd.oasis.opendocument.spreadsheet";
        const QString out = m_in + "/sheet.ods";
        Zip::write({{"content.xml", QByteArray(400, 'c')}, {"META-INF/manifest.xml", QByteArray(400, 'm')}}, out,
                   QString::fromUtf8(mimetype));
        const QByteArray zip = readAll(out);
        QVERIFY(zip.startsWith("PK\x03\x04"));
        QCOMPARE(get16(zip, 8), quint16(0));
        QCOMPARE(get32(zip, 18), quint32(mimetype.size()));
        QCOMPARE(zip.mid(30, get16(zip, 26)), QByteArray("mimetype"));
        QCOMPARE(get16(zip, 28), quint16(0));
        QCOMPARE(zip.mid(38, mimetype.size()), mimetype);

        QList<QByteArray> files;
        for (const Listed& entry : centralDirectory(zip))
            if (!entry.name.endsWith('/'))
                files.append(entry.name);
        QCOMPARE(files, (QList<QByteArray>{"mimetype", "META-INF/manifest.xml", "content.xml"}));
    }

    void partsWithoutMimetype()
    {
        const QMap<QString, QByteArray> parts{{"xl/worksheets/sheet1.xml", QByteArray(500, 'x')},
                                              {"[Content_Types].xml", QByteArray(500, 't')},
                                              {"-dash.xml", QByteArray(500, 'd')}};
        const QString out = m_in + "/book.xlsx";
        Zip::write(parts, out);
        QMap<QByteArray, int> methods;
        for (const Listed& entry : centralDirectory(readAll(out)))
            if (!entry.name.endsWith('/'))
                methods.insert(entry.name, entry.method);
        QCOMPARE(methods.keys(), (QList<QByteArray>{"-dash.xml", "[Content_Types].xml", "xl/worksheets/sheet1.xml"}));
        for (int method : methods)
            QCOMPARE(method, 8);
    }

    void overwriteKeepsOnlyNewParts()
    {
        const QString out = m_in + "/again.zip";
        Zip::write({{"old.xml", "old"}, {"old/deep.xml", "old"}}, out);
        Zip::write({{"new.xml", "new"}}, out);
        const QList<Listed> entries = centralDirectory(readAll(out));
        QCOMPARE(entries.size(), 1);
        QCOMPARE(entries.first().name, QByteArray("new.xml"));
    }

    void roundTrip()
    {
        QByteArray binary;
        for (int i = 0; i < 70000; ++i)
            binary.append(char(i * 7 % 251));
        const QMap<QString, QByteArray> parts{{"OEBPS/chapter 1.xhtml", "<p>één</p>"}, {"OEBPS/images/a.bin", binary},
                                              {"META-INF/container.xml", "<container/>"}, {"-cover.xhtml", "<img/>"}};
        const QString out = m_in + "/book.epub";
        Zip::write(parts, out, QString("application/epub+zip"));
        const QString folder = Zip::extract(out);
        QCOMPARE(readAll(folder + "/mimetype"), QByteArray("application/epub+zip"));
        for (auto it = parts.begin(); it != parts.end(); ++it)
            QCOMPARE(readAll(folder + '/' + it.key()), it.value());
        QVERIFY(QDir(folder).removeRecursively());
    }

    void refusesEscapingPartPaths_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("parent") << "../escape.xml";
        QTest::newRow("absolute") << "/tmp/escape.xml";
        QTest::newRow("inner parent") << "a/../../escape.xml";
    }

    void refusesEscapingPartPaths()
    {
        QFETCH(QString, path);
        const QString out = m_in + "/refused.zip";
        QVERIFY_THROWS_EXCEPTION(ConvertError, Zip::write({{"ok.xml", "ok"}, {path, "bad"}}, out));
        QVERIFY(!QFile::exists(out));
        QVERIFY(!QFile::exists(m_root.filePath("escape.xml")) && !QFile::exists(m_tmp + "/escape.xml"));
    }

    void refusesHostileArchives_data()
    {
        QTest::addColumn<QByteArray>("archive");
        const QByteArray absolute = "/tmp/tolvane-test-" + QByteArray::number(QCoreApplication::applicationPid()) + ".txt";
        QTest::newRow("parent") << makeZip({{"../evil.txt", "x", {}}});
        QTest::newRow("absolute") << makeZip({{absolute, "x", {}}});
        QTest::newRow("inner parent") << makeZip({{"a/", {}, {}}, {"a/../../evil.txt", "x", {}}});
        QTest::newRow("link to absolute") << makeZip({{"link", {}, "/etc"}});
        QTest::newRow("link upwards") << makeZip({{"link", {}, "../../outside"}});
        QTest::newRow("write through link") << makeZip({{"sub/", {}, {}}, {"link", {}, "sub"}, {"link/evil.txt", "x", {}}});
        QTest::newRow("link chain") << makeZip({{"d", {}, "."}, {"e", {}, "d/.."}});
        QTest::newRow("link chain made late") << makeZip({{"d/", {}, {}}, {"e", {}, "d/.."}, {"d", {}, "."}});
        QTest::newRow("hard link upwards") << makeTarHardLink("h", "../evil.txt");
        QTest::newRow("hard link absolute") << makeTarHardLink("h", "/etc/hostname");
    }

    void refusesHostileArchives()
    {
        QFETCH(QByteArray, archive);
        const QString path = save("hostile.zip", archive);
        try {
            Zip::extract(path);
            QFAIL("a hostile archive was unpacked");
        } catch (const ConvertError& e) {
            QCOMPARE(e.kind(), ConvertError::Kind::failed);
            QVERIFY2(e.message().startsWith("Couldn’t unpack hostile.zip: "), qPrintable(e.message()));
        }
        QCOMPARE(QDir(m_root.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), (QStringList{"in", "tmp"}));
        QCOMPARE(QDir(m_in).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"hostile.zip"});
        QVERIFY(!QFile::exists("/tmp/tolvane-test-" + QString::number(QCoreApplication::applicationPid()) + ".txt"));
    }

    void keepsLinksThatStayInside()
    {
        const QString path = save("links.zip", makeZip({{"file.txt", "inside", {}}, {"docs/", {}, {}},
                                                         {"docs/link", {}, "../file.txt"}}));
        const QString folder = Zip::extract(path);
        QCOMPARE(readAll(folder + "/docs/link"), QByteArray("inside"));
        QVERIFY(QDir(folder).removeRecursively());
    }

    void boundsWhatIsUnpacked_data()
    {
        QTest::addColumn<QByteArray>("archive");
        QTest::addColumn<QString>("reason");
        const QByteArray zeros(1 << 20, '\0');
        QTest::newRow("declared size") << makeZip({{"bomb", zeros, {}}}, true) << "it unpacks to more than 65536 bytes";
        QTest::newRow("false size") << makeZip({{"bomb", zeros, {}}}, true, 10) << "";
        QTest::newRow("entries") << makeZip({{"a", "1", {}}, {"b", "2", {}}, {"c", "3", {}}}) << "it holds more than 2 entries";
    }

    void boundsWhatIsUnpacked()
    {
        QFETCH(QByteArray, archive);
        QFETCH(QString, reason);
        const QString path = save("bomb.zip", archive);
        try {
            Zip::extract(path, ExtractLimits{65536, 2});
            QFAIL("the limits were not applied");
        } catch (const ConvertError& e) {
            if (!reason.isEmpty())
                QCOMPARE(e.message(), "Couldn’t unpack bomb.zip: " + reason);
        }
    }
};

QTEST_GUILESS_MAIN(ZipTest)
#include "test_zip.moc"
