#include "toolkit/textlabel.h"

#include "toolkit/painting.h"
#include "toolkit/theme.h"

TextLabel::TextLabel(const QString& text, double pixels, QFont::Weight weight, const QColor& colour,
                     QWidget* parent)
    : QLabel(text, parent)
{
    setFont(Painting::font(this, pixels, weight));
    QPalette p; // only this role is set; the rest comes from the window
    p.setColor(QPalette::WindowText, colour);
    setPalette(p);
    setTextFormat(Qt::PlainText);
}

SectionTitle::SectionTitle(const QString& text, QWidget* parent)
    : TextLabel(text, 13, QFont::DemiBold, Theme::section(), parent)
{
}
