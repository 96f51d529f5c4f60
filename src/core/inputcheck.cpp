#include "core/inputcheck.h"

#include "core/converterror.h"

#include <QFile>
#include <sys/stat.h>

namespace InputCheck {

void refuseSpecial(const QString& path)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) return;
    const char* what = S_ISFIFO(st.st_mode)                         ? "a pipe"
                       : S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode) ? "a device"
                       : S_ISSOCK(st.st_mode)                       ? "a socket"
                                                                    : nullptr;
    if (!what) return;
    const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    throw ConvertError::unsupported(QStringLiteral("%1 is %2, not a file").arg(name, QLatin1String(what)));
}

} // namespace InputCheck
