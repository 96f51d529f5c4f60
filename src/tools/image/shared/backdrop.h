#pragma once

#include <QColor>
#include <QLinearGradient>
#include <QList>
#include <QString>

// What the compositing tools paint behind their pictures: a preset gradient, a preset colour, a
// colour the user picked, or a picture the user picked (the renderer is given that picture
// decoded; it never reads the path).
struct Backdrop
{
    enum class Kind { gradient, solid, custom, image };

    Kind kind = Kind::gradient;
    int index = 0; // gradient and solid
    QColor colour; // custom
    QString path;  // image

    static Backdrop gradient(int i) { return {Kind::gradient, i, {}, {}}; }
    static Backdrop solid(int i) { return {Kind::solid, i, {}, {}}; }
    static Backdrop custom(const QColor& c) { return {Kind::custom, 0, c, {}}; }
    static Backdrop image(const QString& path) { return {Kind::image, 0, {}, path}; }

    // Same kind and equal payload; the fields a kind does not use are not compared.
    bool operator==(const Backdrop& other) const;

    // The nine preset gradients, each its stops in order from the top-left corner.
    static const QList<QList<QColor>>& gradients();
    // The sixteen preset colours, white first and black last; also the collage's backgrounds.
    static const QList<QColor>& solids();
    // Gradient `i` from the top-left to the bottom-right corner of the unit square, stops evenly
    // spaced, extended past both ends; an index outside the table gives gradient 0.
    static QLinearGradient gradientStyle(int i, QPointF from = {0, 0}, QPointF to = {1, 1});
    // Solid `i`, or white for an index outside the table.
    static QColor solidColour(qsizetype i) { return solids().value(i, QColor(Qt::white)); }
};
