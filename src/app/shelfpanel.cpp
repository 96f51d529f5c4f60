#include "app/shelfpanel.h"

#include "app/floatshelf.h"
#include "app/shelfpainter.h"
#include "app/shelfview.h"

#include <QVBoxLayout>

ShelfPanel::ShelfPanel(FloatShelf& shelf)
    : FloatingPanel(QSize(FloatShelf::width, FloatShelf::height(0)), Kind::panel),
      m_view(new ShelfView(shelf, this))
{
    setWindowTitle(QStringLiteral("Float"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
    setShape(ShelfPainter::outline(size()));
}

void ShelfPanel::place(const QRect& frame)
{
    setFixedSize(frame.size());
    setShape(ShelfPainter::outline(frame.size()));
    move(frame.topLeft());
}
