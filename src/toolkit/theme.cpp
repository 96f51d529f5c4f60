#include "toolkit/theme.h"

namespace Theme {

QColor orange()
{
    return QColor::fromRgbF(1.0f, 82.0f / 255.0f, 0.0f);
}
QColor ink()
{
    return QColor::fromRgbF(0.2f, 0.13f, 0.09f);
}
QColor inkSoft()
{
    return QColor::fromRgbF(0.36f, 0.24f, 0.17f);
}
QColor section()
{
    return QColor::fromRgbF(0.62f, 0.16f, 0.02f);
}
QColor field()
{
    return QColor::fromRgbF(1.0f, 1.0f, 1.0f, 0.55f);
}
QColor track()
{
    return QColor::fromRgbF(0.55f, 0.35f, 0.3f, 0.25f);
}

QLinearGradient wash(const QRectF& rect)
{
    QLinearGradient g(QPointF(rect.center().x(), rect.top()), rect.bottomRight());
    g.setColorAt(0.0, QColor::fromRgbF(1.0f, 0.8f, 0.24f, 0.92f));
    g.setColorAt(0.28, QColor::fromRgbF(1.0f, 0.66f, 0.36f, 0.8f));
    g.setColorAt(0.68, QColor::fromRgbF(1.0f, 0.7f, 0.58f, 0.7f));
    g.setColorAt(1.0, QColor::fromRgbF(0.93f, 0.76f, 0.86f, 0.62f));
    return g;
}

} // namespace Theme
