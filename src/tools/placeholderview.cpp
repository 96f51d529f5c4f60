#include "tools/placeholderview.h"

#include "toolkit/textlabel.h"
#include "toolkit/theme.h"

#include <QVBoxLayout>

PlaceholderView::PlaceholderView(std::shared_ptr<ToolContext> context, QWidget* parent)
    : ToolView(std::move(context), parent)
{
    auto* note = new TextLabel(QStringLiteral("%1 isn’t available yet.").arg(name(this->context().tool())),
                               13, QFont::Normal, Theme::inkSoft());
    note->setAlignment(Qt::AlignCenter);
    note->setWordWrap(true);
    column()->addWidget(note);
}
