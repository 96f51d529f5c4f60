#include "tools/image/editphoto/thinscrollbars.h"

#include <QColor>
#include <QScrollArea>

namespace ThinScrollBars {

void apply(QScrollArea& area, const QColor& handle)
{
    area.setFrameShape(QFrame::NoFrame);
    area.viewport()->setAutoFillBackground(false);
    if (area.widget()) area.widget()->setAutoFillBackground(false);
    const QString rgba = QStringLiteral("rgba(%1, %2, %3, %4)")
                             .arg(handle.red())
                             .arg(handle.green())
                             .arg(handle.blue())
                             .arg(handle.alpha());
    area.setStyleSheet(QStringLiteral("QScrollArea { background: transparent; }"
                                      "QScrollBar { background: transparent; margin: 2px; }"
                                      "QScrollBar:vertical { width: 10px; }"
                                      "QScrollBar:horizontal { height: 10px; }"
                                      "QScrollBar::handle { background: %1; border-radius: 3px; }"
                                      "QScrollBar::handle:vertical { min-height: 24px; }"
                                      "QScrollBar::handle:horizontal { min-width: 24px; }"
                                      "QScrollBar::add-line, QScrollBar::sub-line { width: 0; height: 0; }"
                                      "QScrollBar::add-page, QScrollBar::sub-page { background: none; }")
                           .arg(rgba));
}

} // namespace ThinScrollBars
