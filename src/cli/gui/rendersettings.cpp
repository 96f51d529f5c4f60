#include "cli/gui/rendersettings.h"

#include "cli/gui/snapshot.h"
#include "windows/settings/settingsview.h"

#include <QVBoxLayout>
#include <QWidget>

namespace CLI {

QString renderSettings(const QString& pngPath)
{
    Backdrop background;
    auto* stack = new QVBoxLayout(&background);
    stack->setContentsMargins(10, 10, 10, 10);
    auto* view = new SettingsView;
    view->setFixedSize(540, 680);
    stack->addWidget(view, 0, Qt::AlignCenter);
    return snapshot(background, QSize(560, 700), pngPath);
}

} // namespace CLI
