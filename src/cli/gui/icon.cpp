#include "cli/gui/icon.h"

#include "app/appicon.h"
#include "cli/gui/snapshot.h"
#include "core/converterror.h"

#include <QLocale>
#include <cmath>

namespace CLI {

std::optional<double> iconSize(const QString& text)
{
    if (text.isEmpty() || text.trimmed() != text) return std::nullopt;
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const double value = c.toDouble(text, &ok);
    return ok ? std::optional<double>(value) : std::nullopt;
}

QString renderIcon(const QString& pngPath, double size)
{
    if (!std::isfinite(size) || size < 1 || size > maxIconSize)
        throw ConvertError::failed(QStringLiteral("The icon size must be between 1 and %1 pixels")
                                       .arg(QString::number(maxIconSize)));
    const QImage image = AppIcon::appIcon(int(size), size);
    if (image.isNull()) throw ConvertError::failed(QStringLiteral("snapshot failed"));
    return writePng(image, pngPath);
}

} // namespace CLI
