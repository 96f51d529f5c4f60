// The Annotate Photo window driven offscreen: drags and clicks make marks, badges count, the text
// field commits, drops or keeps what was typed, undo and redo move marks, and saving writes
// "Annotated" PNGs beside the pictures while a cancel or a closed window writes nothing.

#include "core/converterror.h"
#include "core/job.h"
#include "core/jobs.h"
#include "engines/image/imageprops.h"
#include "toolkit/imagesource.h"
#include "toolkit/primarybutton.h"
#include "toolkit/secondarybutton.h"
#include "toolkit/segmented.h"
#include "toolkit/toolwindow.h"
#include "tools/image/annotate/annotatecanvas.h"
#include "tools/image/annotate/annotateimage.h"
#include "tools/image/annotate/annotatemodel.h"
#include "tools/image/annotate/annotateview.h"
#include "tools/image/annotate/kindbutton.h"
#include "tools/image/annotate/palettebutton.h"
#include "tools/toolwindows.h"

#include <QDir>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include "../../../support/toolharness.h"

namespace {

// A 400 × 300 picture in one colour.
QString writePicture(const QString& path, const QColor& colour, const char* format)
{
    QImage image(400, 300, QImage::Format_RGB32);
    image.fill(colour);
    return image.save(path, format, 95) ? path : QString();
}

// The point of the canvas over unit point (x, y) of the picture.
QPoint at(AnnotateView& view, double x, double y)
{
    const QRectF r = view.canvas()->pictureRect();
    return QPointF(r.x() + x * r.width(), r.y() + y * r.height()).toPoint();
}

QPointF unitOf(AnnotateView& view, QPoint p)
{
    const QRectF r = view.canvas()->pictureRect();
    return QPointF((p.x() - r.x()) / r.width(), (p.y() - r.y()) / r.height());
}

void drag(AnnotateView& view, const QList<QPoint>& path)
{
    QWidget* canvas = view.canvas();
    QTest::mousePress(canvas, Qt::LeftButton, {}, path.first());
    for (qsizetype i = 1; i < path.size(); ++i)
        QTest::mouseMove(canvas, path[i]);
    QTest::mouseRelease(canvas, Qt::LeftButton, {}, path.last());
}

void click(AnnotateView& view, double x, double y)
{
    QTest::mouseClick(view.canvas(), Qt::LeftButton, {}, at(view, x, y));
}

void choose(AnnotateView& view, Mark::Kind kind)
{
    view.kindButtons().at(int(kind))->click();
    QCOMPARE(view.model().kind(), kind);
}

// Clicks the weight segment labelled `label`.
void chooseWeight(AnnotateView& view, const QString& label)
{
    Segmented* s = view.weightControl();
    const int i = int(s->options().indexOf(label));
    const QRectF r = Segmented::segmentRects(Segmented::textWidths(s->options(), s->selected(), s))[i];
    QTest::mouseClick(s, Qt::LeftButton, {}, r.center().toPoint());
}

QList<qint64> badges(const AnnotateView& view)
{
    QList<qint64> numbers;
    for (const Mark& mark : view.model().marks())
        if (mark.kind == Mark::Kind::number) numbers << mark.number;
    return numbers;
}

bool near(QPointF a, QPointF b, double within = 0.01)
{
    return std::abs(a.x() - b.x()) <= within && std::abs(a.y() - b.y()) <= within;
}

} // namespace

class AnnotateViewTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_photo;

    AnnotateView* open(ToolHarness& harness)
    {
        AnnotateView* view = harness.open<AnnotateView>(ToolID::annotateImage, {m_photo});
        if (view) view->window()->resize(820, 700);
        QCoreApplication::sendPostedEvents();
        return view;
    }

  private slots:
    void initTestCase()
    {
        m_photo = writePicture(m_dir.filePath("photo.png"), Qt::white, "PNG");
        QVERIFY(!m_photo.isEmpty());
    }

    void cleanup()
    {
        for (ToolWindow* w : ToolWindows::openWindows())
            w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // Drags draw shapes and strokes live; a click makes a mark whose two points coincide; a drag
    // that leaves the picture keeps its end on the edge and its start where it began.
    void dragsAndClicks()
    {
        ToolHarness harness;
        AnnotateView* view = open(harness);
        QVERIFY(view);
        QCOMPARE(view->model().kind(), Mark::Kind::arrow);
        QVERIFY(view->kindButtons().at(0)->isCurrent());
        QVERIFY(view->paletteButtons().at(0)->isCurrent());
        QCOMPARE(view->model().weight(), 0.006);
        QVERIFY(!view->primaryButton()->isEnabled());
        QVERIFY(!view->undoButton()->isEnabled() && !view->redoButton()->isEnabled());
        QVERIFY(!view->clearButton()->isEnabled());

        const QPoint from = at(*view, 0.2, 0.3), to = at(*view, 0.7, 0.6);
        QTest::mousePress(view->canvas(), Qt::LeftButton, {}, from);
        QTest::mouseMove(view->canvas(), to);
        QVERIFY(view->model().draft().has_value());
        QVERIFY(view->model().marks().isEmpty());
        // Drawn live: the canvas shows red along the way.
        const QPoint middle = at(*view, 0.45, 0.45);
        QImage shown = view->canvas()->grab().toImage();
        QColor c = shown.pixelColor(middle * shown.devicePixelRatio());
        QVERIFY2(c.red() > 200 && c.green() < 150, qPrintable(c.name()));
        QTest::mouseRelease(view->canvas(), Qt::LeftButton, {}, to);
        QVERIFY(!view->model().draft());
        QCOMPARE(view->model().marks().size(), 1);
        const Mark arrow = view->model().marks().first();
        QCOMPARE(arrow.kind, Mark::Kind::arrow);
        QCOMPARE(arrow.points.size(), 2);
        QVERIFY(near(arrow.points[0], unitOf(*view, from)) && near(arrow.points[1], unitOf(*view, to)));
        QCOMPARE(arrow.color, QColor(255, 59, 48));
        QVERIFY(view->primaryButton()->isEnabled() && view->undoButton()->isEnabled());

        // A click with each shape and stroke kind, in another colour and weight.
        view->paletteButtons().at(4)->click();
        QVERIFY(view->paletteButtons().at(4)->isCurrent() && !view->paletteButtons().at(0)->isCurrent());
        chooseWeight(*view, "L");
        QCOMPARE(view->model().weight(), 0.012);
        for (Mark::Kind kind : {Mark::Kind::rect, Mark::Kind::ellipse, Mark::Kind::line, Mark::Kind::pen,
                                Mark::Kind::highlight}) {
            choose(*view, kind);
            click(*view, 0.5, 0.5);
            const Mark made = view->model().marks().last();
            QCOMPARE(made.kind, kind);
            QCOMPARE(made.points.size(), 2);
            QCOMPARE(made.points[0], made.points[1]);
            QCOMPARE(made.color, QColor(10, 132, 255));
            QCOMPARE(made.width, 0.012);
        }
        QCOMPARE(arrow.color, view->model().marks().first().color); // earlier marks keep theirs

        // A pen stroke collects its path; its end leaves the picture and stays on its edge.
        choose(*view, Mark::Kind::pen);
        const QRect canvas = view->canvas()->rect();
        drag(*view, {at(*view, 0.5, 0.5), at(*view, 0.6, 0.5), at(*view, 0.6, 0.6),
                     QPoint(canvas.right() + 50, canvas.bottom() + 40)});
        const Mark stroke = view->model().marks().last();
        QCOMPARE(stroke.points.size(), 5); // the press makes [start, start], then a point per move
        QVERIFY(near(stroke.points[0], {0.5, 0.5}));
        QCOMPARE(stroke.points.last(), QPointF(1, 1));

        choose(*view, Mark::Kind::line);
        drag(*view, {at(*view, 0.3, 0.3), QPoint(canvas.left() - 30, canvas.top() + 1)});
        const Mark line = view->model().marks().last();
        QVERIFY(near(line.points[0], {0.3, 0.3}));
        QCOMPARE(line.points[1].x(), 0.0);

        // A press beside the picture (on the stage's padding) draws nothing.
        const qsizetype before = view->model().marks().size();
        QTest::mouseClick(view->canvas(), Qt::LeftButton, {}, QPoint(1, 1));
        QCOMPARE(view->model().marks().size(), before);
    }

    // Badges count from one past the highest one kept: undone badges don't count, and after
    // Clear they start again at 1. Undo and redo move marks between the stacks, and a new mark
    // empties the redo stack.
    void badgesUndoAndRedo()
    {
        ToolHarness harness;
        AnnotateView* view = open(harness);
        QVERIFY(view);
        choose(*view, Mark::Kind::number);
        click(*view, 0.2, 0.2);
        click(*view, 0.4, 0.2);
        click(*view, 0.6, 0.2);
        QCOMPARE(badges(*view), (QList<qint64>{1, 2, 3}));
        QVERIFY(near(view->model().marks().first().points.first(), {0.2, 0.2}));

        view->undoButton()->click();
        QCOMPARE(badges(*view), (QList<qint64>{1, 2}));
        QVERIFY(view->redoButton()->isEnabled());
        view->undoButton()->click();
        view->redoButton()->click();
        QCOMPARE(badges(*view), (QList<qint64>{1, 2}));
        QCOMPARE(view->model().undone().size(), 1);
        click(*view, 0.8, 0.2);
        QCOMPARE(badges(*view), (QList<qint64>{1, 2, 3}));
        QVERIFY(!view->redoButton()->isEnabled()); // a new mark empties it

        view->clearButton()->click();
        QVERIFY(view->model().marks().isEmpty());
        QVERIFY(!view->undoButton()->isEnabled() && !view->redoButton()->isEnabled());
        QVERIFY(!view->clearButton()->isEnabled() && !view->primaryButton()->isEnabled());
        click(*view, 0.5, 0.5);
        QCOMPARE(badges(*view), QList<qint64>{1});
    }

    // The text field opens where the text tool clicks, never past the picture's right edge;
    // Return makes the mark (spaces kept) without saving, blank text makes none, another click
    // commits the open field, a kind change or Escape drops it and leaves the window open.
    void textMarks()
    {
        ToolHarness harness;
        bool saved = false;
        Jobs::setPresenter([&](const std::shared_ptr<Job>&, std::optional<QPointF>) { saved = true; });
        AnnotateView* view = open(harness);
        QVERIFY(view);
        QLineEdit* field = view->canvas()->textField();
        choose(*view, Mark::Kind::text);
        QVERIFY(!field->isVisible());
        click(*view, 0.25, 0.5);
        QVERIFY(field->isVisible());
        QCOMPARE(field->placeholderText(), QString("Type, then press Return"));
        const QRectF picture = view->canvas()->pictureRect();
        QCOMPARE(field->pos(), at(*view, 0.25, 0.5));
        QTest::keyClicks(field, "  Look here ");
        QVERIFY(view->primaryButton()->isEnabled()); // typed text counts before it is a mark
        QTest::keyClick(field, Qt::Key_Return);
        QVERIFY(!saved);
        QVERIFY(view->window()->isVisible());
        QVERIFY(!field->isVisible());
        QCOMPARE(view->model().marks().size(), 1);
        const Mark label = view->model().marks().first();
        QCOMPARE(label.text, QString("  Look here "));
        QVERIFY(near(label.points.first(), {0.25, 0.5}));

        // Near the right edge the field ends at the picture's edge.
        click(*view, 0.95, 0.2);
        QCOMPARE(field->geometry().right() + 1, qRound(picture.right()));
        QTest::keyClicks(field, " \t ");
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(view->model().marks().size(), 1); // blank: no mark
        QVERIFY(!field->isVisible());

        // A second click commits the open field and opens a new, empty one.
        click(*view, 0.1, 0.1);
        QTest::keyClicks(field, "first");
        click(*view, 0.1, 0.8);
        QCOMPARE(view->model().marks().last().text, QString("first"));
        QVERIFY(field->isVisible() && field->text().isEmpty());

        // Escape drops the field and its text, and not the window.
        QTest::keyClicks(field, "gone");
        QTest::keyClick(field, Qt::Key_Escape);
        QVERIFY(!field->isVisible());
        QVERIFY(view->window()->isVisible());
        QCOMPARE(view->model().marks().size(), 2);

        // Changing the kind drops an open field too.
        click(*view, 0.5, 0.5);
        QTest::keyClicks(field, "dropped");
        choose(*view, Mark::Kind::arrow);
        QVERIFY(!field->isVisible());
        choose(*view, Mark::Kind::text);
        click(*view, 0.5, 0.5);
        QVERIFY(field->text().isEmpty());
        QCOMPARE(view->model().marks().size(), 2);
        QVERIFY(!saved);
    }

    // Text typed into the open field and never committed is saved all the same.
    void saveCommitsTheOpenField()
    {
        QTemporaryDir dir;
        const QString photo = writePicture(dir.filePath("note.png"), Qt::white, "PNG");
        ToolHarness harness;
        AnnotateView* view = harness.open<AnnotateView>(ToolID::annotateImage, {photo});
        QVERIFY(view);
        choose(*view, Mark::Kind::text);
        view->paletteButtons().at(6)->click(); // black
        click(*view, 0.1, 0.4);
        QVERIFY(!view->primaryButton()->isEnabled());
        QTest::keyClicks(view->canvas()->textField(), "WWW");
        const std::shared_ptr<Job> job = harness.apply(*view);
        QVERIFY(job);
        QCOMPARE(job->state().phase, Job::Phase::done);
        QCOMPARE(job->results(), QStringList{dir.filePath("note Annotated.png")});
        const QImage out(job->results().first());
        bool ink = false;
        for (int x = 40; x < 120 && !ink; ++x)
            for (int y = 120; y < 140 && !ink; ++y)
                ink = qGray(out.pixel(x, y)) < 100;
        QVERIFY2(ink, "the typed text is in the saved picture");
    }

    // Two dropped pictures: the window shows the first, and saving draws the same marks at the
    // same unit places over each, as "<base> Annotated.png" (then " 2") whatever the format,
    // with the picture's properties carried.
    void savesEveryFile()
    {
        QTemporaryDir dir;
        const QString beach = writePicture(dir.filePath("Beach.jpg"), QColor(0, 0, 255), "JPEG");
        ImageProps props;
        QVERIFY(props.setValue("Exif.GPSInfo.GPSLatitudeRef", "N"));
        QVERIFY(props.setValue("Exif.GPSInfo.GPSLatitude", "59/1 54/1 0/1"));
        props.embedInto(beach);
        QImage tall(300, 600, QImage::Format_RGB32);
        tall.fill(Qt::green);
        QVERIFY(tall.save(dir.filePath("Tall.png")));
        QVERIFY(writePicture(dir.filePath("Beach Annotated.png"), Qt::gray, "PNG").size());

        ToolHarness harness;
        AnnotateView* view =
            harness.open<AnnotateView>(ToolID::annotateImage, {beach, dir.filePath("Tall.png")});
        QVERIFY(view);
        QCOMPARE(view->source().full().size(), QSize(400, 300));
        view->paletteButtons().at(7)->click(); // white
        choose(*view, Mark::Kind::line);
        chooseWeight(*view, "L");
        drag(*view, {at(*view, 0.1, 0.5), at(*view, 0.9, 0.5)});
        const QList<Mark> marks = view->model().marks();
        QCOMPARE(marks.size(), 1);

        const std::shared_ptr<Job> job = harness.apply(*view);
        QVERIFY(job);
        QCOMPARE(job->state().phase, Job::Phase::done);
        QCOMPARE(job->results(),
                 (QStringList{dir.filePath("Beach Annotated 2.png"), dir.filePath("Tall Annotated.png")}));
        QVERIFY(ToolWindows::openWindows().isEmpty());

        const QImage first(dir.filePath("Beach Annotated 2.png"));
        QCOMPARE(first.size(), QSize(400, 300));
        const QPointF y = marks.first().points.first();
        QVERIFY(qGray(first.pixel(200, qRound(y.y() * 300))) > 240); // the white line
        QCOMPARE(QColor(first.pixel(200, 20)).hue() / 10, 24);       // blue elsewhere
        const QImage second(dir.filePath("Tall Annotated.png"));
        QCOMPARE(second.size(), QSize(300, 600));
        QVERIFY(qGray(second.pixel(150, qRound(y.y() * 600))) > 240); // same unit place
        QCOMPARE(second.pixel(150, 50), qRgb(0, 255, 0));
        QCOMPARE(ImageProps::read(dir.filePath("Beach Annotated 2.png")).value("Exif.GPSInfo.GPSLatitude"),
                 QString("59/1 54/1 0/1"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 5); // no temporary left
    }

    // Closing the window loses the marks and writes nothing; a cancelled job writes nothing
    // either, hidden files included.
    void cancelLeavesNothing()
    {
        QTemporaryDir dir;
        const QString photo = writePicture(dir.filePath("keep.png"), Qt::white, "PNG");
        {
            ToolHarness harness;
            AnnotateView* view = harness.open<AnnotateView>(ToolID::annotateImage, {photo});
            QVERIFY(view);
            click(*view, 0.5, 0.5);
            QCOMPARE(view->model().marks().size(), 1);
            QTest::keyClick(view->window(), Qt::Key_Escape);
            QVERIFY(ToolWindows::openWindows().isEmpty());
            QVERIFY(harness.jobs().isEmpty());
        }
        Job job("", "", 0);
        job.cancel();
        const Mark mark{QUuid::createUuid(), Mark::Kind::line, {{0, 0}, {1, 1}}, Qt::red, 0.01, {}, 0};
        try {
            AnnotateImage::annotateFile(photo, {mark}, job, [](double) {});
            QFAIL("a cancelled job wrote its copy");
        } catch (const ConvertError& e) {
            QVERIFY(e.isCancelled());
        }
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"keep.png"});
    }

    // A picture that cannot be read shows why, takes no marks and cannot be saved.
    void unreadablePicture()
    {
        QTemporaryDir dir;
        QFile junk(dir.filePath("junk.png"));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write("not a picture");
        junk.close();
        ToolHarness harness;
        AnnotateView* view = harness.open<AnnotateView>(ToolID::annotateImage, {junk.fileName()});
        QVERIFY(view);
        QVERIFY(view->source().error().has_value());
        QVERIFY(view->canvas()->pictureRect().isEmpty());
        QTest::mouseClick(view->canvas(), Qt::LeftButton, {}, view->canvas()->rect().center());
        QVERIFY(view->model().marks().isEmpty());
        QVERIFY(!view->primaryButton()->isEnabled());
    }
};

QTEST_MAIN(AnnotateViewTest)
#include "test_annotateview.moc"
