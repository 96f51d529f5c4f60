#include "engines/converter.h"

#include "../support/enginefixtures_b.h"
#include "core/shell.h"
#include "core/zip.h"

#include <QtTest>
#include <fcntl.h>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// An OLE compound file as Office writes one: 512-byte sectors, one allocation sector, one
// directory sector, the streams after them (each at least 4096 bytes, so none is in the mini
// stream), siblings chained to the right of the root's first child.
QByteArray compoundFile(const QList<std::pair<QString, QByteArray>>& streams)
{
    const quint32 end = 0xFFFFFFFE, none = 0xFFFFFFFF;
    QByteArray fat = le<quint32>(0xFFFFFFFD) + le(end), directory, data;
    const auto entry = [&](const QString& name, quint8 type, quint32 child, quint32 right, quint32 start,
                           quint32 size) {
        QByteArray e(
            QByteArray(reinterpret_cast<const char*>(name.utf16()), name.size() * 2).leftJustified(64, 0));
        e += le<quint16>((name.size() + 1) * 2) + QByteArray(1, char(type)) + QByteArray(1, 1) + le(none) +
             le(right) + le(child) + QByteArray(36, 0) + le(start) + le(size) + le<quint32>(0);
        directory += e;
    };
    entry("Root Entry", 5, 1, none, end, 0);
    for (int i = 0; i < streams.size(); ++i) {
        const QByteArray bytes = streams[i].second.leftJustified(4096, 0);
        const quint32 first = 2 + data.size() / 512, count = (bytes.size() + 511) / 512;
        for (quint32 s = first; s < first + count; ++s)
            fat += le(s + 1 < first + count ? s + 1 : end);
        data += bytes.leftJustified(count * 512, 0);
        entry(streams[i].first, 2, none, i + 1 < streams.size() ? i + 2 : none, first, bytes.size());
    }
    QByteArray header("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    header += QByteArray(16, 0) + le<quint16>(0x3E) + le<quint16>(3) + le<quint16>(0xFFFE) + le<quint16>(9) +
              le<quint16>(6) + QByteArray(10, 0) + le<quint32>(1) + le<quint32>(1) + le<quint32>(0) +
              le<quint32>(4096) + le(end) + le<quint32>(0) + le(end) + le<quint32>(0) + le<quint32>(0);
    return header.leftJustified(512, '\xFF') + fat.leftJustified(512, '\xFF') +
           directory.leftJustified(512, 0) + data;
}

} // namespace

class ConverterInputsTest : public QObject
{
    Q_OBJECT

  private slots:
    // A pipe or a device is refused before any program opens it and waits on it for ever.
    void specialFilesAreRefused()
    {
        QTemporaryDir dir;
        const QString pipe = dir.filePath("live.wav"), zero = dir.filePath("zero.wav");
        QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        QVERIFY(QFile::link("/dev/zero", zero));
        for (const auto& [source, expected] : {std::pair{pipe, QString("live.wav is a pipe, not a file")},
                                               {zero, "zero.wav is a device, not a file"}}) {
            auto converted = std::async(
                std::launch::async, [source = source] { return message([&] { convert(source, "mp3"); }); });
            if (converted.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
                // Let each program stuck on the pipe go before failing.
                for (int i = 0;
                     i < 30 && converted.wait_for(std::chrono::seconds(1)) != std::future_status::ready; ++i)
                    ::close(::open(QFile::encodeName(pipe).constData(), O_WRONLY | O_NONBLOCK));
                QFAIL("the conversion waits on its input");
            }
            QCOMPARE(converted.get(), expected);
        }
        QCOMPARE(entries(dir.path()), QStringList({"live.wav", "zero.wav"}));
    }

    // Noise under an office name is refused before LibreOffice or an unpacker sees it; an RTF
    // saved as .doc still passes.
    void mislabelledFilesAreRefused()
    {
        QTemporaryDir dir;
        for (const auto& [name, expected] : {std::pair{"report.docx", "report.docx isn’t a Word document"},
                                             {"sums.xlsx", "sums.xlsx isn’t an Excel workbook"},
                                             {"old.doc", "old.doc isn’t a Word document"},
                                             {"notes.rtf", "notes.rtf isn’t an RTF document"},
                                             {"book.epub", "book.epub isn’t an EPUB book"}})
            QCOMPARE(message([&] {
                         convert(writeFile(dir.filePath(name), "noise\x01\x02 PK{\\rtf"),
                                 QString(name).endsWith(".xlsx") ? "csv" : "txt");
                     }),
                     QString(expected));
        const QString rtfDoc = writeFile(dir.filePath("saved.doc"), "{\\rtf1\\ansi Plain words\\par}");
        QCOMPARE(message([&] { convert(rtfDoc, "txt"); }), QString("<no error>"));
        QCOMPARE(entries(dir.path()).filter(QRegularExpression("^(report|sums|old|notes|book)\\.")).size(),
                 5);
    }

    // A file saved with a password is named so, whichever way its format marks it; the same
    // containers without the marks go on to their readers.
    void lockedOfficeFilesAreNamed()
    {
        QTemporaryDir dir;
        const QByteArray encryptedPackage =
            compoundFile({{"EncryptionInfo", le<quint32>(0x00040004)}, {"EncryptedPackage", "ciphertext"}});
        const auto word = [](quint16 flags) {
            return compoundFile(
                {{"WordDocument", le<quint16>(0xA5EC) + le<quint16>(193) + QByteArray(6, 0) + le(flags)},
                 {"1Table", "t"}});
        };
        // Records of a workbook's globals: BOF, then FILEPASS (or a code page), then EOF.
        const auto workbook = [](quint16 second) {
            return compoundFile(
                {{"Workbook", le<quint16>(0x0809) + le<quint16>(4) + le<quint32>(0x00050600) + le(second) +
                                  le<quint16>(2) + le<quint16>(1) + le<quint16>(0x000A) + le<quint16>(0)}});
        };
        const auto package = [&](const QString& name, const QString& encryption) {
            const QString manifest =
                "<manifest:manifest xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:"
                "manifest:1.0\"><manifest:file-entry manifest:full-path=\"content.xml\">%1"
                "</manifest:file-entry></manifest:manifest>";
            Zip::write(
                {{"content.xml", "\x9c\x01"}, {"META-INF/manifest.xml", manifest.arg(encryption).toUtf8()}},
                dir.filePath(name), "application/vnd.oasis.opendocument.text");
            return dir.filePath(name);
        };
        const QString encryption = "<manifest:encryption-data manifest:checksum=\"AAAA\"><manifest:algorithm "
                                   "manifest:algorithm-name=\"Blowfish CFB\"/></manifest:encryption-data>";
        const struct
        {
            QString source, target, expected;
        } cases[] = {
            {writeFile(dir.filePath("secret.docx"), encryptedPackage), "txt",
             "secret.docx is password-protected"},
            {writeFile(dir.filePath("sums.xlsx"), encryptedPackage), "csv",
             "sums.xlsx is password-protected"},
            {writeFile(dir.filePath("deck.pptx"), encryptedPackage), "pdf",
             "deck.pptx is password-protected"},
            {writeFile(dir.filePath("letter.doc"), word(0x0100)), "txt", "letter.doc is password-protected"},
            {writeFile(dir.filePath("book.xls"), workbook(0x002F)), "csv", "book.xls is password-protected"},
            {package("notes.odt", encryption), "txt", "notes.odt is password-protected"},
            {package("table.ods", encryption), "csv", "table.ods is password-protected"},
            // An OLE container without a package is still no OOXML file.
            {writeFile(dir.filePath("plain.docx"), word(0)), "txt", "plain.docx isn’t a Word document"},
            // Unmarked, they reach their readers, which judge them.
            {package("open.ods", ""), "csv", "<reader>"},
        };
        for (const auto& c : cases) {
            const QString said = message([&] { convert(c.source, c.target); });
            if (c.expected == "<reader>")
                QVERIFY2(!said.contains("password") && said != "<no error>", qPrintable(said));
            else
                QCOMPARE(said, c.expected);
        }
    }

    // A source with a 250-byte base name converts twice: the second result's " 2" is made room
    // for at the end of the base before ffmpeg starts, not refused after it is done.
    void longNameConverts()
    {
        QTemporaryDir dir;
        for (const QString& base : {QString(250, 'a'), QString("é").repeated(125)}) {
            const QString source = dir.filePath(base + ".wav");
            QCOMPARE(Shell::run("/usr/bin/ffmpeg", {"-v", "error", "-f", "lavfi", "-i", "sine=d=0.2", source})
                         .status,
                     0);
            QCOMPARE(convert(source, "flac"), QStringList{dir.filePath(base + ".flac")});
            const QString second = QFileInfo(convert(source, "flac").value(0)).fileName();
            QVERIFY2(second.endsWith(" 2.flac") && QFile::encodeName(second).size() <= 255 &&
                         base.startsWith(second.chopped(7)) && second.size() > 100,
                     qPrintable(second));
            QVERIFY(QFileInfo(dir.filePath(second)).size() > 0);
        }
    }
};

QTEST_GUILESS_MAIN(ConverterInputsTest)
#include "test_converterinputs.moc"
