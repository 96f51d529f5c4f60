#include "engines/slides/slidesengine.h"

#include "core/converterror.h"
#include "core/job.h"
#include "core/shell.h"
#include "engines/converter.h"
#include "engines/package/ooxml.h"

#include <QBuffer>
#include <QImage>
#include <QRegularExpression>
#include <QtTest>

namespace {

constexpr auto everything = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;

QByteArray png(QColor color)
{
    QImage image(320, 240, QImage::Format_RGB32);
    image.fill(color);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return buffer.data();
}

int pageCount(const QString& pdf)
{
    QFile file(pdf);
    if (!file.open(QIODevice::ReadOnly)) return -1;
    return QString::fromLatin1(file.readAll()).count(QRegularExpression("/Type\\s*/Page\\b(?!s)"));
}

} // namespace

class SlidesTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_root;
    const QString m_tmp = m_root.filePath("tmp");
    const QString m_out = m_root.filePath("out");

    QString deck(int slides)
    {
        QList<QByteArray> pictures;
        for (int i = 0; i < slides; ++i)
            pictures.append(png(QColor::fromHsv(i * 60, 200, 200)));
        const QString path = m_out + "/deck.pptx";
        OOXML::writePPTX(pictures, QSizeF(720, 540), path);
        return path;
    }

    static ConvertError failure(const QString& source, const QString& target)
    {
        Job job(QString(), QString(), 0);
        try {
            SlidesEngine::convert(source, target, job, [](double) {});
        } catch (const ConvertError& e) {
            return e;
        }
        return ConvertError::failed("<no error>");
    }

  private slots:
    void initTestCase()
    {
        QVERIFY(QDir().mkpath(m_tmp));
        qputenv("TMPDIR", QFile::encodeName(m_tmp));
    }

    void init() { QVERIFY(QDir().mkpath(m_out)); }

    void cleanup()
    {
        QCOMPARE(QDir(m_tmp).entryList(everything), QStringList());
        QVERIFY(QDir(m_out).removeRecursively());
    }

    // A deck of three pictures becomes a PDF of three pages through LibreOffice.
    void toPdf()
    {
        if (!Shell::find("soffice")) QSKIP("LibreOffice is not installed");
        Job job(QString(), QString(), 0);
        const QStringList pdf = Converter::convert(deck(3), "pdf", job, [](double) {});
        QCOMPARE(pdf, QStringList{m_out + "/deck.pdf"});
        QCOMPARE(pageCount(pdf.first()), 3);
        QCOMPARE(QDir(m_out).entryList(QStringList{".tolvane*"}, everything), QStringList());
    }

    void toImages()
    {
        if (!Shell::find("soffice")) QSKIP("LibreOffice is not installed");
        Job job(QString(), QString(), 0);
        const QStringList one = SlidesEngine::convert(deck(1), "png", job, [](double) {});
        QCOMPARE(one, QStringList{m_out + "/deck.png"});
        QCOMPARE(QImage(one.first()).size(), QSize(1500, 1125)); // 10 × 7.5 in at 150 dpi
        const QStringList folder = SlidesEngine::convert(deck(2), "jpg", job, [](double) {});
        QCOMPARE(folder, QStringList{m_out + "/deck"});
        QCOMPARE(QDir(folder.first()).entryList(everything), QStringList({"Page 001.jpg", "Page 002.jpg"}));
    }

    // Refused before any program runs: an empty search path would make a started bridge fail
    // with its missing-program message instead.
    void refusals()
    {
        const QString source = deck(1);
        const QByteArray searchPath = qgetenv("TOLVANE_SEARCH_PATH");
        qputenv("TOLVANE_SEARCH_PATH", QFile::encodeName(m_root.filePath("nothing")));
        const ConvertError gif = failure(source, "gif");
        QCOMPARE(gif.kind(), ConvertError::Kind::unsupported);
        QCOMPARE(gif.message(), "Can’t make GIF from slides");
        const ConvertError missing = failure(source, "pptx");
        QCOMPARE(missing.kind(), ConvertError::Kind::missingTool);
        searchPath.isNull() ? qunsetenv("TOLVANE_SEARCH_PATH") : qputenv("TOLVANE_SEARCH_PATH", searchPath);
        QCOMPARE(QDir(m_out).entryList(everything), QStringList{"deck.pptx"});
    }
};

QTEST_GUILESS_MAIN(SlidesTest)
#include "test_slides.moc"
