#include "core/fmt.h"

#include <QFile>

#include <algorithm>
#include <cmath>
#include <sys/stat.h>

namespace {

// Every whole number of seconds up to here is exact in a double and fits a 64-bit integer.
constexpr double maxSeconds = 9007199254740992.0;

} // namespace

namespace Fmt {

qint64 fileSize(const QString& path)
{
    struct stat st;
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0) return 0;
    return qint64(st.st_size);
}

QString time(double seconds, bool fraction)
{
    if (!std::isfinite(seconds)) return QStringLiteral("0:00");
    seconds = std::clamp(seconds, 0.0, maxSeconds);
    qint64 whole = qint64(seconds);
    if (!fraction) return QString::asprintf("%lld:%02d", static_cast<long long>(whole / 60), int(whole % 60));
    // Rounded to hundredths before splitting, so that 59.999 shows as 1:00.00 and never as 0:60.00.
    qint64 hundredths = std::llround((seconds - double(whole)) * 100.0);
    if (hundredths == 100) {
        ++whole;
        hundredths = 0;
    }
    return QString::asprintf("%lld:%02d.%02d", static_cast<long long>(whole / 60), int(whole % 60),
                             int(hundredths));
}

QString byteCount(qint64 bytes)
{
    if (bytes <= 0) return QStringLiteral("Zero KB");
    const double kb = std::max(1.0, std::round(double(bytes) / 1e3));
    if (kb < 1000) return QString::number(kb, 'f', 0) + QStringLiteral(" KB");
    const double mb = std::round(double(bytes) / 1e5) / 10;
    if (mb < 1000) return QString::number(mb, 'g', 15) + QStringLiteral(" MB");
    const double gb = std::round(double(bytes) / 1e7) / 100;
    QString text = QString::number(gb, 'f', 2);
    while (text.endsWith(QLatin1Char('0')))
        text.chop(1);
    if (text.endsWith(QLatin1Char('.'))) text.chop(1);
    return text + QStringLiteral(" GB");
}

} // namespace Fmt
