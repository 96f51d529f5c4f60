#include "engines/slides/slidesengine.h"

#include "../../support/enginefixtures_b.h"
#include "core/shell.h"
#include "engines/package/ooxml.h"

#include <QRegularExpression>
#include <QtTest>

class SlidesTest : public QObject
{
    Q_OBJECT
    ScratchTmp m_tmp;
    const QString m_out = m_tmp.files;

    // A deck of a wide and a tall picture on 10 × 7.5 in slides.
    QString deck()
    {
        OOXML::writePPTX({png({400, 300}), png({300, 400})}, QSizeF(720, 540), m_out + "/deck.pptx");
        return m_out + "/deck.pptx";
    }

  private slots:
    void cleanup() { QCOMPARE(m_tmp.leftovers(), QStringList()); }

    // Through LibreOffice: one PDF page of the slide's size per slide, or one picture per slide at
    // 150 dpi in a folder.
    void toPdfAndImages()
    {
        if (!Shell::find("soffice")) QSKIP("LibreOffice is not installed");
        const QStringList pdf = convert(deck(), "pdf");
        QCOMPARE(pdf, QStringList{m_out + "/deck.pdf"});
        const QString text = QString::fromLatin1(readAll(pdf.first()));
        QCOMPARE(text.count(QRegularExpression("/Type\\s*/Page\\b(?!s)")), 2);
        QCOMPARE(text.count(QRegularExpression("/MediaBox\\s*\\[\\s*0 0 720 540\\s*\\]")),
                 text.count("/MediaBox"));

        // Progress climbs from the export's half to the end of the pictures.
        Job job(QString(), QString(), 0);
        QList<double> steps;
        const QStringList folder =
            SlidesEngine::convert(deck(), "jpg", job, [&](double p) { steps.append(p); });
        QCOMPARE(folder, QStringList{m_out + "/deck"});
        QCOMPARE(steps, QList<double>({0.5, 0.75, 1.0}));
        QCOMPARE(entries(folder.first()), QStringList({"Page 001.jpg", "Page 002.jpg"}));
        QCOMPARE(QImage(folder.first() + "/Page 002.jpg").size(), QSize(1500, 1125));
        QCOMPARE(QDir(m_out).entryList({".tolvane*"}, everything), QStringList());
    }

    // Refused before any program runs: an empty search path would make a started bridge fail
    // with its missing-program message instead.
    void refusals()
    {
        const QString source = deck();
        const QByteArray searchPath = qgetenv("TOLVANE_SEARCH_PATH");
        qputenv("TOLVANE_SEARCH_PATH", QFile::encodeName(m_tmp.root.filePath("nothing")));
        Job job(QString(), QString(), 0);
        const auto gif = failure([&] { SlidesEngine::convert(source, "gif", job, [](double) {}); });
        QVERIFY(gif && gif->kind() == ConvertError::Kind::unsupported);
        QCOMPARE(gif->message(), "Can’t make GIF from slides");
        const auto pptx = failure([&] { SlidesEngine::convert(source, "pptx", job, [](double) {}); });
        QVERIFY(pptx && pptx->kind() == ConvertError::Kind::missingTool);
        searchPath.isNull() ? qunsetenv("TOLVANE_SEARCH_PATH") : qputenv("TOLVANE_SEARCH_PATH", searchPath);
        QCOMPARE(entries(m_out), QStringList{"deck.pptx"});
    }
};

QTEST_GUILESS_MAIN(SlidesTest)
#include "test_slides.moc"
