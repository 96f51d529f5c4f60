// Thumbnails of our own, and the desktop's cache when it holds a fresh one.

#include "toolkit/thumbnailer.h"

#include <QDir>
#include <QGuiApplication>
#include <QPainter>
#include <QPdfWriter>
#include <QtTest>

class ThumbnailerTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QTemporaryDir m_cache;

  private slots:
    void initTestCase() { qputenv("XDG_CACHE_HOME", QFile::encodeName(m_cache.path())); }

    // A picture keeps its proportions, a PDF shows its first page; text and missing files have none.
    void ownPictures()
    {
        QImage wide(400, 200, QImage::Format_RGB32);
        wide.fill(Qt::red);
        QVERIFY(wide.save(m_dir.filePath("wide.png")));
        const QImage image = Thumbnailer::make(m_dir.filePath("wide.png"), 80);
        QVERIFY(image.size() == QSize(80, 40) && QColor(image.pixel(40, 20)) == QColor(Qt::red));
        {
            QPdfWriter writer(m_dir.filePath("doc.pdf"));
            QPainter(&writer).fillRect(QRect(0, 0, 100000, 100000), Qt::blue);
        }
        const QImage page = Thumbnailer::make(m_dir.filePath("doc.pdf"), 80);
        QVERIFY(page.height() == 80 && page.width() < 80 &&
                QColor(page.pixel(page.width() / 2, 40)).blue() == 255);
        QVERIFY(QFile(m_dir.filePath("notes.txt")).open(QIODevice::WriteOnly));
        QVERIFY(Thumbnailer::make(m_dir.filePath("notes.txt"), 80).isNull());
        QVERIFY(Thumbnailer::make(m_dir.filePath("gone.png"), 80).isNull());
    }

    // A cached picture is used only while the file has not changed since it was made.
    void cacheWhenFresh()
    {
        const QString file = m_dir.filePath("photo.png");
        QImage own(64, 64, QImage::Format_RGB32);
        own.fill(Qt::green);
        QVERIFY(own.save(file));
        const QString path = Thumbnailer::cachePath(file, false);
        QVERIFY(QDir().mkpath(QFileInfo(path).path()));
        QImage cached(128, 128, QImage::Format_RGB32);
        cached.fill(Qt::magenta);
        const qint64 mtime = QFileInfo(file).lastModified().toSecsSinceEpoch();
        for (const auto& [made, shown] : {std::pair{mtime, Qt::magenta}, {mtime - 60, Qt::green}}) {
            cached.setText("Thumb::MTime", QString::number(made));
            QVERIFY(cached.save(path));
            QCOMPARE(QColor(Thumbnailer::make(file, 64).pixel(10, 10)), QColor(shown));
        }
    }
};

QTEST_MAIN(ThumbnailerTest)
#include "test_thumbnailer.moc"
