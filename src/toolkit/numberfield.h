#pragma once

#include <QLocale>
#include <QWidget>
#include <optional>

class QLineEdit;

// A small labelled field for a whole number, in the user's locale without digit grouping. What
// the user types is taken when the field commits it (Return or leaving the field): a whole
// number is reported as typed, anything else puts the shown value back. Neither clamped nor
// validated beyond that; the owner decides.
class NumberField : public QWidget
{
    Q_OBJECT
  public:
    NumberField(const QString& label, int width, QWidget* parent = nullptr);

    qint64 value() const { return m_value; }
    void setValue(qint64 value);
    QLineEdit* editor() const { return m_editor; }

    // The whole number `text` gives in `locale`, group separators refused; none otherwise.
    static std::optional<qint64> parse(const QString& text, const QLocale& locale = QLocale());
    static QString format(qint64 value, const QLocale& locale = QLocale());

  signals:
    void edited(qint64 value);

  private:
    void commit();

    qint64 m_value = 0;
    QLineEdit* m_editor;
};
