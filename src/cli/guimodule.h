#pragma once

#include <QStringList>

class QCoreApplication;

namespace CLI {

// The GUI (tray, wheel, windows, renderings) as a shared module, loaded when a command or the
// tray application first needs it. Commands take the arguments after their name.
struct GuiModule
{
    int (*appMain)(int argc, char** argv);
    // A QApplication when `widgets`, else a QGuiApplication.
    QCoreApplication* (*makeApplication)(bool widgets, int& argc, char** argv);
    int (*tool)(const QStringList& rest);
    int (*renderWheel)(const QStringList& rest);
    int (*renderTool)(const QStringList& rest);
    int (*renderHud)(const QStringList& rest);
    int (*icon)(const QStringList& rest);
    int (*selfTest)(const QStringList& rest);
};

// The module's entries, loaded on first call; throws ConvertError when it cannot be loaded.
const GuiModule& gui();

// Runs the tray application from the module; says why in one line and returns 1 when the
// module cannot be loaded.
int appMain(int argc, char** argv);

} // namespace CLI
