#include "toolkit/settingrow.h"

#include "toolkit/textlabel.h"
#include "toolkit/theme.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

SettingRow::SettingRow(const QString& label, QWidget* control, const QString& note, QWidget* parent)
    : QWidget(parent)
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(3);
    auto* row = new QHBoxLayout;
    row->setSpacing(12);
    row->addWidget(new TextLabel(label, 13, QFont::Normal, Theme::ink()));
    row->addStretch(1);
    row->addSpacing(8);
    row->addWidget(control);
    column->addLayout(row);
    if (!note.isEmpty()) {
        auto* text = new TextLabel(note, 11.5, QFont::Normal, Theme::inkSoft());
        text->setWordWrap(true);
        column->addWidget(text);
    }
}
