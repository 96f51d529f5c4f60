#include "tools/video/speed/speedlabels.h"

#include "core/fmt.h"

#include <QLocale>
#include <cmath>

namespace SpeedLabels {

QList<double> offered()
{
    return {0.25, 0.5, 0.75, 1.25, 1.5, 2, 3, 4};
}

QString label(double speed)
{
    if (std::trunc(speed) == speed) return QString::number(qint64(speed)) + QLatin1Char('x');
    QString text = QString::number(speed, 'g', QLocale::FloatingPointShortest);
    // Only a leading zero goes: 10.5 stays 10.5.
    if (text.startsWith(QStringLiteral("0."))) text.remove(0, 1);
    return text + QLatin1Char('x');
}

QString newLength(double duration, double speed)
{
    const double length = duration > 0 && speed > 0 ? duration / speed : 0;
    return QStringLiteral("New length ") + Fmt::time(length, false);
}

} // namespace SpeedLabels
