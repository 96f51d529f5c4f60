#include "tools/image/shared/backdrop.h"

#include <QLinearGradient>

bool Backdrop::operator==(const Backdrop& other) const
{
    if (kind != other.kind) return false;
    switch (kind) {
    case Kind::gradient:
    case Kind::solid:
        return index == other.index;
    case Kind::custom:
        return colour == other.colour;
    case Kind::image:
        return path == other.path;
    }
    return false;
}

const QList<QList<QColor>>& Backdrop::gradients()
{
    static const QList<QList<QColor>> table{
        {QColor(255, 201, 60), QColor(255, 107, 44), QColor(232, 70, 107), QColor(139, 123, 224)},
        {QColor(95, 208, 245), QColor(233, 247, 255), QColor(166, 227, 255)},
        {QColor(255, 154, 139), QColor(255, 211, 110), QColor(143, 227, 181), QColor(138, 180, 248)},
        {QColor(247, 240, 255), QColor(229, 212, 255), QColor(255, 226, 240)},
        {QColor(15, 32, 39), QColor(44, 83, 100), QColor(52, 232, 158)},
        {QColor(255, 138, 101), QColor(255, 193, 166)},
        {QColor(79, 172, 254), QColor(0, 242, 254)},
        {QColor(67, 233, 123), QColor(56, 249, 215)},
        {QColor(142, 45, 226), QColor(74, 0, 224)},
    };
    return table;
}

const QList<QColor>& Backdrop::solids()
{
    static const QList<QColor> table{
        QColor(255, 255, 255), QColor(242, 201, 76),  QColor(139, 195, 74), QColor(46, 158, 91),
        QColor(31, 158, 143),  QColor(69, 199, 217),  QColor(47, 91, 234),  QColor(30, 42, 68),
        QColor(123, 79, 214),  QColor(169, 139, 224), QColor(224, 90, 138), QColor(217, 54, 54),
        QColor(240, 112, 90),  QColor(240, 138, 36),  QColor(122, 75, 50),  QColor(0, 0, 0),
    };
    return table;
}

QLinearGradient Backdrop::gradientStyle(int i, QPointF from, QPointF to)
{
    const QList<QColor>& stops = gradients().value(i, gradients().first());
    QLinearGradient g(from, to);
    g.setSpread(QGradient::PadSpread);
    for (qsizetype s = 0; s < stops.size(); ++s)
        g.setColorAt(double(s) / double(stops.size() - 1), stops[s]);
    return g;
}
