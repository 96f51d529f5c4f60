#pragma once

#include <QWidget>
#include <functional>
#include <optional>

class OrangeSlider;
class QAbstractButton;
class QLabel;

// A labelled slider: the label in a column of its own width, the slider, the value as text in
// a 62-point column and, when the value has a default, a button that restores it (faint and
// inactive while the value is the default). The fill starts from 0 when the default lies
// inside the range rather than at its lower end.
class SliderRow : public QWidget
{
    Q_OBJECT
  public:
    // Built by name ({.label = ..., .lo = ..., .hi = ...}); a field left out keeps its default.
    struct Options
    {
        QString label{};
        double lo = 0;
        double hi = 1;
        std::optional<double> step{};            // none: values do not snap
        std::optional<double> defaultValue{};    // none: no reset button
        std::function<QString(double)> format{}; // none: the value as a plain number
        int labelWidth = 90;
    };

    explicit SliderRow(Options options, QWidget* parent = nullptr);

    double value() const { return m_value; }
    QString label() const;
    void setLabel(const QString& label);
    void setValue(double value);
    // Shows the value's text again, for a text that depends on more than the value.
    void refresh() { display(m_value); }
    QString valueText() const;
    OrangeSlider* slider() const { return m_slider; }
    // None without a default.
    QAbstractButton* resetButton() const { return m_reset; }

    static bool centred(std::optional<double> defaultValue, double lo)
    {
        return defaultValue && *defaultValue != lo;
    }

  signals:
    void edited(double value);

  private:
    void display(double value);

    const Options m_options;
    double m_value;
    OrangeSlider* m_slider;
    QLabel* m_label;
    QLabel* m_text;
    QAbstractButton* m_reset = nullptr;
};
