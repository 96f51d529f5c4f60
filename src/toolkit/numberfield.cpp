#include "toolkit/numberfield.h"

#include "toolkit/painting.h"
#include "toolkit/textlabel.h"
#include "toolkit/theme.h"

#include <QHBoxLayout>
#include <QLineEdit>

NumberField::NumberField(const QString& label, int width, QWidget* parent)
    : QWidget(parent), m_editor(new QLineEdit)
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(5);
    row->addWidget(new TextLabel(label, 11, QFont::Normal, Theme::inkSoft()));
    m_editor->setFont(Painting::font(this, 12, QFont::Normal));
    m_editor->setFixedSize(width, 22);
    m_editor->setFrame(false);
    const QColor field = Theme::field(), ink = Theme::ink();
    m_editor->setStyleSheet(
        QStringLiteral("QLineEdit { background: rgba(%1, %2, %3, %4); color: rgb(%5, %6, %7); "
                       "border: none; border-radius: 6px; padding: 0 7px; }")
            .arg(field.red())
            .arg(field.green())
            .arg(field.blue())
            .arg(field.alpha())
            .arg(ink.red())
            .arg(ink.green())
            .arg(ink.blue()));
    m_editor->setText(format(m_value));
    row->addWidget(m_editor);
    connect(m_editor, &QLineEdit::editingFinished, this, &NumberField::commit);
}

void NumberField::setValue(qint64 value)
{
    m_value = value;
    if (m_editor->text() != format(value)) m_editor->setText(format(value));
}

std::optional<qint64> NumberField::parse(const QString& text, const QLocale& locale)
{
    QLocale strict = locale;
    strict.setNumberOptions(QLocale::RejectGroupSeparator | QLocale::OmitGroupSeparator);
    bool ok = false;
    const qint64 v = strict.toLongLong(text.trimmed(), &ok);
    return ok ? std::optional<qint64>(v) : std::nullopt;
}

QString NumberField::format(qint64 value, const QLocale& locale)
{
    QLocale plain = locale;
    plain.setNumberOptions(QLocale::OmitGroupSeparator);
    return plain.toString(value);
}

void NumberField::commit()
{
    const std::optional<qint64> typed = parse(m_editor->text());
    if (!typed) {
        m_editor->setText(format(m_value));
        return;
    }
    m_value = *typed;
    m_editor->setText(format(m_value));
    emit edited(m_value);
}
