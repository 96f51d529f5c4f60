#pragma once

#include <QColor>
#include <QList>
#include <QPointF>
#include <QString>
#include <QUuid>
#include <optional>

// One annotation over a picture, a plain value. Its points are in unit coordinates of the picture
// (0 at the left and top edges, 1 at the right and bottom; beyond is allowed and falls outside)
// and its width is a fraction of the picture's shorter side, so it looks the same on a preview
// and at full size. Shapes read their first and last points, text and badges their first.
struct Mark
{
    enum class Kind { arrow, rect, ellipse, line, pen, highlight, text, number };

    QUuid id;
    Kind kind = Kind::arrow;
    QList<QPointF> points;
    QColor color;
    double width = 0;
    QString text;      // a text mark's label; empty otherwise
    qint64 number = 0; // a badge's figure; 0 otherwise

    bool operator==(const Mark&) const = default;
};

// Every kind in declaration order, which is also the order the tool offers them.
QList<Mark::Kind> allMarkKinds();
QString rawValue(Mark::Kind kind);
// Exact, case-sensitive; none for any other text.
std::optional<Mark::Kind> markKindFromRaw(const QString& raw);
