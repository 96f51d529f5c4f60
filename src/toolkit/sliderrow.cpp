#include "toolkit/sliderrow.h"

#include "toolkit/orangeslider.h"
#include "toolkit/symbols.h"
#include "toolkit/textlabel.h"
#include "toolkit/theme.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QPainter>

namespace {

// The round-arrow button that puts the default back.
class ResetButton : public QAbstractButton
{
  public:
    explicit ResetButton(QWidget* parent) : QAbstractButton(parent)
    {
        setFocusPolicy(Qt::NoFocus);
        setFixedSize(18, 22);
    }

  protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        QColor c = Theme::inkSoft();
        c.setAlphaF(isEnabled() ? 0.9f : 0.35f);
        Symbols::draw(painter, QStringLiteral("arrow.counterclockwise"),
                      QRectF(rect()).adjusted(2, 4, -2, -4), c);
    }
};

} // namespace

SliderRow::SliderRow(Options options, QWidget* parent)
    : QWidget(parent), m_options(std::move(options)), m_value(m_options.lo), m_slider(new OrangeSlider),
      m_label(new TextLabel(m_options.label, 13, QFont::Normal, Theme::ink())),
      m_text(new TextLabel(QString(), 12.5, QFont::Normal, Theme::ink()))
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(12);
    m_label->setFixedWidth(m_options.labelWidth);
    row->addWidget(m_label);
    m_slider->setRange(m_options.lo, m_options.hi);
    m_slider->setStep(m_options.step);
    m_slider->setCentered(centred(m_options.defaultValue, m_options.lo));
    row->addWidget(m_slider, 1);
    m_text->setFixedWidth(62);
    m_text->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    row->addWidget(m_text);
    if (m_options.defaultValue) {
        m_reset = new ResetButton(this);
        row->addWidget(m_reset);
        connect(m_reset, &QAbstractButton::clicked, this, [this] {
            setValue(*m_options.defaultValue);
            emit edited(m_value);
        });
    }
    connect(m_slider, &OrangeSlider::edited, this, [this](double v) {
        display(v);
        emit edited(v);
    });
    display(m_value);
}

QString SliderRow::label() const
{
    return m_label->text();
}

void SliderRow::setLabel(const QString& label)
{
    m_label->setText(label);
}

void SliderRow::setValue(double value)
{
    if (value == m_value) return;
    display(value);
}

QString SliderRow::valueText() const
{
    return m_text->text();
}

void SliderRow::display(double value)
{
    m_value = value;
    m_slider->setValue(value);
    m_text->setText(m_options.format ? m_options.format(value) : QString::number(value));
    if (m_reset) m_reset->setEnabled(value != *m_options.defaultValue);
}
