#pragma once

#include "core/actionid.h"
#include "core/toolid.h"
#include "core/wheelitem.h"

#include <QPointF>
#include <QStringList>
#include <functional>
#include <optional>

// Routes a drop on a petal to its work: a format to one conversion job, the windowless tools to
// their jobs, every other tool to its window, an action to the file actions. Keeps no state;
// main thread; returns at once.
namespace Dispatcher {

// Where each kind of petal goes; the defaults are the real services, tests record instead.
struct Routes
{
    std::function<void(const QString& title, const QString& target, const QStringList& files,
                       std::optional<QPointF> at)>
        convert;
    std::function<void(ToolID tool, const QStringList& files, std::optional<QPointF> at)> instant;
    std::function<void(ToolID tool, const QStringList& files)> window;
    std::function<void(ActionID action, const QStringList& files)> action;
    // A short confirmation: the toast.
    std::function<void(const QString& title, const QString& detail)> note;
};

Routes defaultRoutes();

// An empty drop does nothing. A format petal converts the files not already in that format
// ("Converting to PDF"); when none is left, a note says so instead of a job that did nothing.
void perform(const WheelItem& item, const QStringList& files, QPointF at);
void perform(const WheelItem& item, const QStringList& files, QPointF at, const Routes& routes);

// The files a format petal hands to the converter, in drop order: all but those already in the
// format `target` (".tar.gz" counts as gz; extensions pass through the catalog's aliases).
// Plain folders and files of no known kind pass.
QStringList filesToConvert(const QStringList& files, const QString& target);

} // namespace Dispatcher
