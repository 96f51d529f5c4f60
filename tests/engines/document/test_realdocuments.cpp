#include "core/scratchfolder.h"
#include "core/shell.h"
#include "core/zip.h"

#include "../../support/files.h"

#include <QDirIterator>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <poppler-qt6.h>

namespace {

const QString templates = "/usr/lib/libreoffice/share/template";

// Every template with this extension, in a stable order.
QStringList installed(const QString& extension)
{
    QStringList found;
    QDirIterator it(templates, {"*." + extension}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        found << it.next();
    found.sort();
    return found;
}

// The kinds of package real documents come in that a reader may stumble on.
enum class Kind { emptyPart, oldManifest, plain };

Kind kindOf(const QString& package)
{
    const ScratchFolder parts = Zip::extract(package);
    if (readAll(parts.file("META-INF/manifest.xml")).contains("<!DOCTYPE")) return Kind::oldManifest;
    QDirIterator it(parts.path(), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        if (QFileInfo(it.next()).size() == 0) return Kind::emptyPart;
    return Kind::plain;
}

// The first word of four letters or more in `text`; empty when there is none.
QString firstWord(const QString& text)
{
    return QRegularExpression("\\p{L}{4,}").match(text).captured(0);
}

} // namespace

// Documents other programs wrote convert: the text templates LibreOffice installs, one of each
// kind of package, copied as ODT, its spreadsheet and presentation templates, and the Word,
// Excel and PowerPoint files LibreOffice itself saves from them. bench/realdocuments.sh
// converts every installed template.
class RealDocumentsTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_soffice;

    QString folder(const QString& name) const
    {
        QDir().mkpath(m_dir.filePath(name));
        return m_dir.filePath(name);
    }

    // `sources` saved by LibreOffice with `filter` into `into`; the saved files.
    QStringList saved(const QStringList& sources, const QString& filter, const QString& into)
    {
        QProcess soffice;
        soffice.start(m_soffice, QStringList{"--headless", "--norestore", "--nologo", "--nolockcheck",
                                             "-env:UserInstallation=" +
                                                 QUrl::fromLocalFile(m_dir.filePath("profile")).toString(),
                                             "--convert-to", filter, "--outdir", into} +
                                     sources);
        soffice.waitForFinished(600000);
        const QStringList made = QDir(into).entryList(QDir::Files, QDir::Name);
        if (made.size() != sources.size()) qWarning() << soffice.readAllStandardError();
        QStringList paths;
        for (const QString& name : made)
            paths << QDir(into).filePath(name);
        return paths;
    }

    // Runs the converter on `files`; true when it reports every one converted.
    bool converted(const QStringList& files, const QString& target)
    {
        QProcess tolvane;
        tolvane.start(TOLVANE_BIN, QStringList{"--convert", target} + files);
        tolvane.waitForFinished(600000);
        const QByteArray out = tolvane.readAllStandardOutput() + tolvane.readAllStandardError();
        if (tolvane.exitStatus() != QProcess::NormalExit || tolvane.exitCode() != 0)
            qWarning().noquote() << out;
        return tolvane.exitStatus() == QProcess::NormalExit && tolvane.exitCode() == 0;
    }

    static QString result(const QString& source, const QString& target)
    {
        const QFileInfo info(source);
        return info.path() + "/" + info.completeBaseName() + "." + target;
    }

  private slots:
    void initTestCase()
    {
        const auto soffice = Shell::find("soffice");
        if (!soffice) QSKIP("LibreOffice is not installed");
        if (installed("ott").isEmpty()) QSKIP("LibreOffice installed no templates");
        m_soffice = *soffice;
    }

    void everyKindConverts()
    {
        QMap<Kind, QString> sample;
        for (const QString& path : installed("ott"))
            if (const Kind kind = kindOf(path); !sample.contains(kind)) sample.insert(kind, path);
        QStringList odt, ods;
        for (const QString& path : sample)
            QVERIFY(QFile::copy(path, folder("odt") + "/" + QFileInfo(path).completeBaseName() + ".odt"));
        for (const QString& name : QDir(folder("odt")).entryList(QDir::Files))
            odt << folder("odt") + "/" + name;
        const QString sheet = installed("ots").value(0);
        ods << folder("ods") + "/" + QFileInfo(sheet).completeBaseName() + ".ods";
        QVERIFY(QFile::copy(sheet, ods.first()));

        const QStringList docx = saved(odt, "docx:MS Word 2007 XML", folder("docx"));
        const QStringList plain = saved(odt, "txt:Text (encoded):UTF8", folder("plain"));
        const QStringList xlsx = saved({sheet}, "xlsx:Calc MS Excel 2007 XML", folder("xlsx"));
        const QStringList pptx =
            saved(installed("otp").mid(0, 2), "pptx:Impress MS PowerPoint 2007 XML", folder("pptx"));
        QCOMPARE(docx.size(), odt.size());
        QCOMPARE(plain.size(), odt.size());
        QCOMPARE(xlsx.size(), 1);
        QVERIFY(!pptx.isEmpty());

        QVERIFY(converted(odt + docx, "txt"));
        QVERIFY(converted(odt + docx + pptx + xlsx + ods, "pdf"));
        QVERIFY(converted(xlsx + ods, "csv"));
        for (const QString& source : odt + docx + pptx + xlsx + ods) {
            const std::unique_ptr<Poppler::Document> pdf = Poppler::Document::load(result(source, "pdf"));
            QVERIFY2(pdf && pdf->numPages() > 0, qPrintable(source));
        }
        for (const QString& source : xlsx + ods)
            QVERIFY2(QFile::exists(result(source, "csv")), qPrintable(source));
        // The text comes through: a word LibreOffice reads in each document is in ours.
        int words = 0;
        for (qsizetype i = 0; i < odt.size(); ++i) {
            const QString word = firstWord(QString::fromUtf8(readAll(plain[i])));
            if (word.isEmpty()) continue;
            ++words;
            for (const QString& text : {result(odt[i], "txt"), result(docx[i], "txt")})
                QVERIFY2(QString::fromUtf8(readAll(text)).contains(word), qPrintable(text + ": " + word));
        }
        QVERIFY(words > 0);
    }
};

QTEST_MAIN(RealDocumentsTest)
#include "test_realdocuments.moc"
