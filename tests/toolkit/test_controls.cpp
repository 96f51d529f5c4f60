// The value controls: the slider's maths and drawing, the slider row's reset, the segments'
// dividers and geometry, the number field's parsing, the check box and the switch.

#include "toolkit/checkbox.h"
#include "toolkit/numberfield.h"
#include "toolkit/orangeslider.h"
#include "toolkit/orangeswitch.h"
#include "toolkit/segmented.h"
#include "toolkit/sliderrow.h"
#include "toolkit/theme.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QSignalBlocker>
#include <QSignalSpy>
#include <QTest>

namespace {

bool orangish(QRgb c)
{
    return qRed(c) > 220 && qGreen(c) < 140 && qBlue(c) < 90;
}

} // namespace

class ControlsTest : public QObject
{
    Q_OBJECT
  private slots:
    void sliderValues_data()
    {
        QTest::addColumn<double>("x");
        QTest::addColumn<double>("width");
        QTest::addColumn<double>("lo");
        QTest::addColumn<double>("hi");
        QTest::addColumn<double>("step"); // 0: none
        QTest::addColumn<double>("value");
        QTest::newRow("middle") << 110.0 << 220.0 << 0.0 << 100.0 << 0.0 << 50.0;
        QTest::newRow("left of the track") << -40.0 << 220.0 << 0.0 << 100.0 << 0.0 << 0.0;
        QTest::newRow("right of the track") << 400.0 << 220.0 << -5.0 << 5.0 << 0.0 << 5.0;
        QTest::newRow("one point") << 150.0 << 220.0 << 3.0 << 3.0 << 0.0 << 3.0;
        QTest::newRow("no width") << 10.0 << 20.0 << 1.0 << 9.0 << 0.0 << 1.0;
        QTest::newRow("step 5, far right") << 220.0 << 220.0 << 1.0 << 20.0 << 5.0 << 20.0;
        QTest::newRow("step 5, far left: 0 clamped up") << 0.0 << 220.0 << 1.0 << 20.0 << 5.0 << 1.0;
        QTest::newRow("step 5, a half rounds up") << 135.0 << 220.0 << 0.0 << 20.0 << 5.0 << 15.0;
        QTest::newRow("step 5, a half below 0 rounds down") << 47.5 << 220.0 << -20.0 << 20.0 << 5.0 << -15.0;
        QTest::newRow("step 5 counts from 0, not from lo")
            << 10.0 + 200 * 8 / 19 << 220.0 << 1.0 << 20.0 << 5.0 << 10.0;
    }
    void sliderValues()
    {
        QFETCH(double, x);
        QFETCH(double, width);
        QFETCH(double, lo);
        QFETCH(double, hi);
        QFETCH(double, step);
        OrangeSlider::State state{0, lo, hi, step > 0 ? std::optional(step) : std::nullopt, false};
        QTEST(OrangeSlider::valueAt(x, width, state), "value");
    }

    // Centred, the fill runs from the place of 0 to the knob, on whichever side the value is.
    void sliderFill()
    {
        const auto drawn = [](double value, bool centered) {
            QImage image(220, OrangeSlider::height, QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::white);
            QPainter painter(&image);
            OrangeSlider::paint(painter, 220, {value, -100, 100, std::nullopt, centered});
            return image;
        };
        const int mid = OrangeSlider::height / 2;
        const QImage right = drawn(60, true), left = drawn(-60, true), plain = drawn(60, false);
        QVERIFY(!orangish(right.pixel(60, mid)) && orangish(right.pixel(130, mid)));
        QVERIFY(orangish(left.pixel(60, mid)) && !orangish(left.pixel(130, mid)));
        QVERIFY(orangish(plain.pixel(30, mid)) && orangish(plain.pixel(130, mid)));
        QVERIFY(!orangish(plain.pixel(200, mid)));
    }

    // A click without moving jumps there and reports the start and the end of an edit.
    void sliderClick()
    {
        OrangeSlider slider;
        slider.resize(220, OrangeSlider::height);
        slider.setRange(0, 100);
        slider.show();
        QStringList order;
        connect(&slider, &OrangeSlider::edited, this, [&](double v) { order << QString::number(v); });
        connect(&slider, &OrangeSlider::editingChanged, this,
                [&](bool e) { order << (e ? "start" : "end"); });
        QTest::mouseClick(&slider, Qt::LeftButton, {}, QPoint(60, 11));
        QCOMPARE(order, (QStringList{"start", "25", "end"}));
        QCOMPARE(slider.value(), 25.0);
    }

    void sliderRowReset()
    {
        // Centred only when the default is above the bottom of the range; no default, no reset button.
        SliderRow plain({.label = "Plain", .lo = 0, .hi = 10, .labelWidth = 80});
        QVERIFY(!plain.resetButton());
        SliderRow low({.label = "Low", .lo = 0, .hi = 10, .defaultValue = 0.0, .labelWidth = 80});
        QVERIFY(!low.slider()->state().centered);

        SliderRow row({.label = "Warmth",
                       .lo = -100,
                       .hi = 100,
                       .step = 1.0,
                       .defaultValue = 0.0,
                       .format = [](double v) { return QString("%1°").arg(v); },
                       .labelWidth = 80});
        QVERIFY(row.slider()->state().centered);
        row.setValue(0);
        QVERIFY(!row.resetButton()->isEnabled()); // faint and inactive at the default
        QSignalSpy edited(&row, &SliderRow::edited);
        row.resize(400, 30);
        row.show();
        QTest::mouseClick(row.slider(), Qt::LeftButton, {}, QPoint(row.slider()->width() - 10, 11));
        QCOMPARE(row.value(), 100.0);
        QVERIFY(row.resetButton()->isEnabled());
        QCOMPARE(row.findChildren<QLabel*>().last()->text(), QString("100°"));
        row.resetButton()->click();
        QCOMPARE(row.value(), 0.0);
        QCOMPARE(edited.last().at(0).toDouble(), 0.0);
        QVERIFY(!row.resetButton()->isEnabled());
    }

    // Dividers show except beside the chosen segment and before the first: one mark per divider.
    void segmentDividers()
    {
        const QList<std::tuple<int, int, QString>> cases{
            {4, 0, "--XX"}, {4, 2, "-X--"}, {4, 3, "-XX-"}, {3, -1, "-XX"}, {1, 0, "-"}};
        for (const auto& [count, selected, expected] : cases) {
            QString shown;
            for (int i = 0; i < count; ++i)
                shown += Segmented::dividerVisible(i, selected) ? 'X' : '-';
            QCOMPARE(shown, expected);
        }
    }

    // Segments are their text plus 18 wide, a divider's point apart, inside 2 points of capsule.
    void segmentGeometry()
    {
        const QList<QRectF> rects = Segmented::segmentRects({10, 20, 5});
        QCOMPARE(rects, (QList<QRectF>{{2, 2, 28, 22}, {31, 2, 38, 22}, {70, 2, 23, 22}}));
        QCOMPARE(Segmented().sizeHint(), QSize(4, Segmented::height));

        Segmented control({"Free", "1:1", "16:9"});
        control.setSelected(0);
        control.resize(control.sizeHint());
        control.show();
        QSignalSpy edited(&control, &Segmented::edited);
        const QList<QRectF> shown =
            Segmented::segmentRects(Segmented::textWidths(control.options(), 0, &control));
        QTest::mouseClick(&control, Qt::LeftButton, {}, shown[2].center().toPoint());
        QCOMPARE(control.selected(), 2);
        QCOMPARE(edited.takeFirst().at(0).toInt(), 2);
        // The chosen segment is drawn orange, the others not.
        const QImage image = control.grab().toImage();
        QVERIFY(orangish(image.pixel(QPoint(int(shown[2].right()) - 3, 13))));
        QVERIFY(!orangish(image.pixel(QPoint(int(shown[0].left()) + 3, 13))));
    }

    // Whole numbers only, with no grouping in any locale.
    void numberParsing()
    {
        const QList<std::tuple<QString, QString, QString>> cases{
            {"C", "42", "42"}, {"C", "-12", "-12"},    {"C", " 7 ", "7"},      {"C", "abc", ""},
            {"C", "3.5", ""},  {"en_US", "1,000", ""}, {"de_DE", "1.000", ""}, {"C", "", ""}};
        for (const auto& [locale, text, value] : cases) {
            const std::optional<qint64> v = NumberField::parse(text, QLocale(locale));
            QCOMPARE(v ? QString::number(*v) : QString(), value);
        }
        QCOMPARE(NumberField::format(1234567, QLocale("en_US")), QString("1234567"));
    }

    // What is not a whole number leaves the value and puts its text back.
    void numberFieldCommits()
    {
        NumberField field("W", 64);
        field.setValue(300);
        field.show();
        QSignalSpy edited(&field, &NumberField::edited);
        QLineEdit* editor = field.editor();
        editor->setText("abc");
        QTest::keyClick(editor, Qt::Key_Return);
        QCOMPARE(edited.count(), 0);
        QCOMPARE(editor->text(), QString("300"));
        editor->setText("-12");
        QTest::keyClick(editor, Qt::Key_Return);
        QCOMPARE(edited.takeFirst().at(0).toLongLong(), -12);
        QCOMPARE(field.value(), -12);
    }

    void checkboxAndSwitch()
    {
        Checkbox box("Keep pitch");
        box.resize(box.sizeHint());
        box.show();
        QSignalSpy toggled(&box, &QAbstractButton::toggled);
        QTest::mouseClick(&box, Qt::LeftButton, {},
                          QPoint(box.width() - 3, box.height() / 2)); // on the label
        QVERIFY(box.isChecked());
        QVERIFY(orangish(box.grab().toImage().pixel(9, box.height() / 2 - 7)));
        QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(4, box.height() / 2));
        QVERIFY(!box.isChecked());
        QCOMPARE(toggled.count(), 2);

        // Toggled twice in a row, the knob turns back from where it was and ends off.
        OrangeSwitch toggle;
        toggle.show();
        toggle.click();
        QVERIFY(toggle.isAnimating());
        toggle.click();
        QTRY_VERIFY(!toggle.isAnimating());
        QCOMPARE(toggle.position(), 0.0);
        QVERIFY(!toggle.isChecked());
        toggle.click();
        QTRY_COMPARE(toggle.position(), 1.0);

        // Set with its signals blocked, as a control following its setting is, the knob moves
        // too, shown or not. The probe sits where the knob rests when off: orange track when on.
        const auto orangeAtRest = [&toggle] {
            const QImage drawn = toggle.grab().toImage();
            return orangish(drawn.pixel(drawn.height() / 2, drawn.height() / 2));
        };
        for (bool shown : {true, false}) {
            toggle.setVisible(shown);
            toggle.setChecked(true);
            QTRY_COMPARE(toggle.position(), 1.0);
            QVERIFY(orangeAtRest());
            {
                const QSignalBlocker quiet(&toggle);
                toggle.setChecked(false);
            }
            QTRY_COMPARE(toggle.position(), 0.0);
            QVERIFY(!orangeAtRest());
        }

        // A click with the mouse or the space bar, the user's own, moves the knob as well.
        toggle.show();
        QTest::mouseClick(&toggle, Qt::LeftButton);
        QVERIFY(toggle.isChecked());
        QTRY_COMPARE(toggle.position(), 1.0);
        QVERIFY(orangeAtRest());
        QTest::mouseClick(&toggle, Qt::LeftButton);
        QVERIFY(!toggle.isChecked());
        QTRY_COMPARE(toggle.position(), 0.0);
        toggle.setFocusPolicy(Qt::StrongFocus);
        toggle.setFocus();
        QTest::keyClick(&toggle, Qt::Key_Space);
        QVERIFY(toggle.isChecked());
        QTRY_COMPARE(toggle.position(), 1.0);
    }
};

QTEST_MAIN(ControlsTest)
#include "test_controls.moc"
