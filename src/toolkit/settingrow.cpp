#include "toolkit/settingrow.h"

#include "toolkit/textlabel.h"
#include "toolkit/theme.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

SettingRow::SettingRow(const QString& label, QWidget* control, const QString& note, QWidget* parent)
    : QWidget(parent), m_label(new TextLabel(label, 13, QFont::Normal, Theme::ink())),
      m_note(new TextLabel(QString(), 11.5, QFont::Normal, Theme::inkSoft()))
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(3);
    auto* row = new QHBoxLayout;
    row->setSpacing(12);
    row->addWidget(m_label);
    row->addStretch(1);
    row->addSpacing(8);
    row->addWidget(control);
    column->addLayout(row);
    m_note->setWordWrap(true);
    column->addWidget(m_note);
    setNote(note);
}

QString SettingRow::label() const
{
    return m_label->text();
}

void SettingRow::setLabel(const QString& label)
{
    m_label->setText(label);
}

QString SettingRow::note() const
{
    return m_note->text();
}

void SettingRow::setNote(const QString& note)
{
    m_note->setText(note);
    m_note->setVisible(!note.isEmpty());
}
