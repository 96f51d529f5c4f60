#pragma once

#include "app/floatshelf.h"

#include <QImage>
#include <QPainterPath>
#include <QRectF>
#include <QString>

class QPainter;

// The looks of the float shelf, as functions of plain state so that widgets and tests share them.
namespace ShelfPainter {

constexpr double cornerRadius = 18;
constexpr double headerHeight = 38;
constexpr double rowHeight = 52;
constexpr double rowSpacing = 4;
constexpr double listPadding = 8;
constexpr double stripHeight = 30;
constexpr double thumbSide = 40;

// The panel's shape: a rounded rectangle filling `size`.
QPainterPath outline(const QSizeF& size);
// The washed card with its outline, orange while files are dragged over it.
void paintBackground(QPainter& painter, const QRectF& rect, bool targeted);

// The header: close button, "Float", and the two pins with the pinned one lit.
void paintHeader(QPainter& painter, const QRectF& rect, FloatShelf::Edge edge);
QRectF closeRect(const QRectF& header);
QRectF pinRect(const QRectF& header, FloatShelf::Edge edge);

struct Row
{
    QString name;
    QString size;
    QImage picture; // thumbnail or icon; drawn fitted into the picture square
    bool hover = false;
};
void paintRow(QPainter& painter, const QRectF& rect, const Row& row);
// Where the remove button of a hovered row sits.
QRectF removeRect(const QRectF& row);

// The strip that drags every file: "Drag all " and the count.
void paintStrip(QPainter& painter, const QRectF& rect, int count);

} // namespace ShelfPainter
