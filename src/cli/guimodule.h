#pragma once

#include "core/modules.h"

#include <QStringList>
#include <QStringView>

class QCoreApplication;

namespace CLI {

// The GUI (tray, wheel, windows, renderings) as a shared module, loaded when a command or the
// tray application first needs it.
struct GuiModule
{
    static constexpr Modules::Module module = Modules::Module::gui;

    int (*appMain)(int argc, char** argv);
    // A QApplication when `widgets`, else a QGuiApplication.
    QCoreApplication* (*makeApplication)(bool widgets, int& argc, char** argv);
    // Runs the command of that name ("--tool") on the arguments after it; its exit status. The
    // module keeps its own table of the commands it serves; an unknown name gives the usage line.
    int (*command)(QStringView name, const QStringList& arguments);
};

// Runs the tray application from the module; says why in one line and returns 1 when the
// module cannot be loaded.
int appMain(int argc, char** argv);

} // namespace CLI
