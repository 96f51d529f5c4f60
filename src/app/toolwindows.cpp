#include "app/toolwindows.h"

#include "app/toast.h"

namespace ToolWindows {

void open(ToolID tool, const QStringList&)
{
    Toast::show(name(tool), QStringLiteral("This tool’s window isn’t available yet"));
}

} // namespace ToolWindows
