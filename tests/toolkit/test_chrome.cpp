// The frame of the tool windows, its buttons and the containers, probed offscreen.

#include "toolkit/card.h"
#include "toolkit/closebutton.h"
#include "toolkit/primarybutton.h"
#include "toolkit/secondarybutton.h"
#include "toolkit/settingrow.h"
#include "toolkit/stage.h"
#include "toolkit/swatch.h"
#include "toolkit/theme.h"
#include "toolkit/toolchrome.h"
#include "toolkit/toolview.h"
#include "toolkit/toolwindow.h"
#include "toolkit/viewsource.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>

namespace {

QImage over(const QColor& background, QSize size, const std::function<void(QPainter&)>& draw)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(background);
    QPainter painter(&image);
    draw(painter);
    return image;
}

bool close(QRgb c, int r, int g, int b, int slack = 12)
{
    return std::abs(qRed(c) - r) <= slack && std::abs(qGreen(c) - g) <= slack &&
           std::abs(qBlue(c) - b) <= slack;
}

// A source that settles when told.
struct FakeSource : ViewSource
{
    bool done = false;
    bool isSettled() const override { return done; }
    void settle()
    {
        done = true;
        emit settled();
    }
};

// A view over the sources it is given.
struct SourcedView : ToolView
{
    SourcedView(const QList<ViewSource*>& sources)
        : ToolView(std::make_shared<ToolContext>(ToolID::trimAudio, QStringList{"/tmp/a.wav"}))
    {
        for (ViewSource* source : sources)
            addSource(source);
    }
};

QString rgb(QRgb c)
{
    return QStringLiteral("%1 %2 %3").arg(qRed(c)).arg(qGreen(c)).arg(qBlue(c));
}

} // namespace

class ChromeTest : public QObject
{
    Q_OBJECT
  private slots:
    // With nothing in its footer the chrome still keeps its bands: rules at 48 and 54 from the
    // bottom, the close button 14 in and centred in the title band, the content between.
    void bands()
    {
        ToolChrome chrome("Crop Image");
        chrome.resize(460, 640);
        chrome.show();
        QCoreApplication::sendPostedEvents();
        QCOMPARE(chrome.closeButton()->geometry(), QRect(14, 10, 28, 28));
        QCOMPARE(chrome.content()->geometry(), QRect(16, 49 + 16, 460 - 32, 640 - 49 - 55 - 32));
        const QImage image = chrome.grab().toImage();
        const auto darker = [&](int y) {
            return qGray(image.pixel(230, y)) < qGray(image.pixel(230, y + 3)) - 3;
        };
        QVERIFY(darker(48));
        QVERIFY(darker(640 - 55));
        QVERIFY(!darker(100));
        QSignalSpy closing(&chrome, &ToolChrome::closeRequested);
        chrome.closeButton()->click();
        QCOMPARE(closing.count(), 1);
    }

    // A view is settled only once every source it names is, whichever settles last, and says
    // so once; a view without sources is settled from the start.
    void viewSettlesWithItsSources()
    {
        QVERIFY(SourcedView({}).isSettled());
        for (const bool firstLast : {false, true}) {
            FakeSource a, b;
            SourcedView view({&a, &b});
            QSignalSpy settled(&view, &ToolView::settled);
            (firstLast ? b : a).settle();
            QVERIFY(!view.isSettled());
            QCOMPARE(settled.count(), 0);
            (firstLast ? a : b).settle();
            QVERIFY(view.isSettled());
            emit b.settled();
            QCOMPARE(settled.count(), 1);
        }
        FakeSource loaded;
        loaded.done = true;
        QVERIFY(SourcedView({&loaded}).isSettled());
    }

    // A long title stays centred across the whole band and runs under the close button; the
    // corners are rounded over a compositor and square otherwise.
    void titleAndCorners()
    {
        const auto chrome = [](const QColor& background, const QString& title, bool rounded) {
            return over(background, {300, 200}, [&](QPainter& p) {
                ToolChrome::paint(p, {300, 200}, title, rounded);
            });
        };
        const QImage bare = chrome(Qt::white, QString(60, QChar('M')), false),
                     blank = chrome(Qt::white, "", false);
        QVERIFY(bare.copy(0, 10, 42, 28) != blank.copy(0, 10, 42, 28));
        QVERIFY(bare.copy(258, 10, 42, 28) != blank.copy(258, 10, 42, 28));
        QCOMPARE(chrome(Qt::black, "", true).pixel(1, 1), qRgb(0, 0, 0));
        QVERIFY(qGray(chrome(Qt::black, "", false).pixel(1, 1)) > 200);
    }

    // A dark desktop palette changes nothing in a tool window.
    void lightWhateverTheTheme()
    {
        const auto shot = [] {
            auto* chrome = new ToolChrome("Trim");
            chrome->footer()->addWidget(new SecondaryButton("Save"));
            (new QVBoxLayout(chrome->content()))->addWidget(new QLineEdit("typed text"));
            ToolWindow window(chrome, QSize(320, 240));
            window.show();
            QCoreApplication::sendPostedEvents();
            return window.grab().toImage();
        };
        const QImage light = shot();
        const QPalette saved = QApplication::palette();
        QPalette dark(QColor(30, 30, 30));
        dark.setColor(QPalette::WindowText, Qt::white);
        dark.setColor(QPalette::ButtonText, Qt::white);
        QApplication::setPalette(dark);
        const QImage darkShot = shot();
        QApplication::setPalette(saved);
        QCOMPARE(darkShot, light);
    }

    // Disabled, the primary button is still there at 35 % orange; the close button lightens
    // under the pointer.
    void buttons()
    {
        const auto primary = [](bool enabled) {
            return over(Qt::white, {120, 28},
                        [&](QPainter& p) {
                            PrimaryButton::paint(p, {0, 0, 120, 28}, "", enabled);
                        })
                .pixel(60, 14);
        };
        QVERIFY2(close(primary(true), 255, 82, 0), qPrintable(rgb(primary(true))));
        QVERIFY2(close(primary(false), 255, 194, 166), qPrintable(rgb(primary(false))));
        const auto closeButton = [](bool lit) {
            return qGray(over(Qt::black, {28, 28}, [&](QPainter& p) {
                             CloseButton::paint(p, {0, 0, 28, 28}, lit);
                         }).pixel(6, 14));
        };
        QVERIFY(closeButton(true) > closeButton(false) + 40);

        // No symbol, no gap: the title is centred; with one, it moves right.
        SecondaryButton plain("Reset"), marked("Reset", "arrow.counterclockwise");
        QCOMPARE(marked.sizeHint().width() - plain.sizeHint().width(), 13 + 6);
        QCOMPARE(plain.sizeHint().height(), 28);
    }

    void containers()
    {
        // The ring takes no room of its own.
        Swatch swatch(QBrush(Qt::red), 26);
        const QSize size = swatch.sizeHint();
        swatch.setSelected(true);
        QCOMPARE(swatch.sizeHint(), size);
        QCOMPARE(size, QSize(30, 30));
        QLinearGradient g(0, 0, 1, 1);
        g.setColorAt(0, Qt::blue);
        g.setColorAt(1, Qt::yellow);
        const QImage chip = over(Qt::white, {30, 30}, [&](QPainter& p) {
            Swatch::paint(p, {0, 0, 30, 30}, g, false);
        });
        QVERIFY(qBlue(chip.pixel(7, 7)) > 180 && qBlue(chip.pixel(23, 23)) < 80); // spread over the chip

        // A stage cuts its content at its rounded edge.
        auto* content = new QWidget;
        content->setAutoFillBackground(true);
        content->setPalette(QPalette(Qt::green));
        QWidget parent;
        parent.setAutoFillBackground(true);
        parent.setPalette(QPalette(Qt::white));
        auto* stage = new Stage(true, content, &parent);
        stage->setGeometry(0, 0, 100, 80);
        parent.resize(100, 80);
        parent.show();
        QCoreApplication::sendPostedEvents();
        const QImage shot = parent.grab().toImage();
        QVERIFY2(close(shot.pixel(0, 0), 255, 255, 255), qPrintable(rgb(shot.pixel(0, 0))));
        QVERIFY(close(shot.pixel(50, 40), 0, 255, 0));

        // A note wraps under its row; without one the row is one line high.
        auto* column = new QWidget;
        auto* layout = new QVBoxLayout(column);
        auto* bare = new SettingRow("Quality", new QWidget);
        auto* noted = new SettingRow("Quality", new QWidget,
                                     QString("A long note that says a great deal ").repeated(6));
        auto* card = new Card("Output");
        card->rows()->addWidget(new QWidget);
        layout->addWidget(bare);
        layout->addWidget(noted);
        layout->addWidget(card);
        layout->addStretch(1);
        column->resize(300, 400);
        column->show();
        QCoreApplication::sendPostedEvents();
        QVERIFY2(noted->height() > bare->height() + 30,
                 qPrintable(QString("%1 %2").arg(noted->height()).arg(bare->height())));
        QCOMPARE(card->width(), bare->width()); // spans the column
        delete column;
    }
};

QTEST_MAIN(ChromeTest)
#include "test_chrome.moc"
