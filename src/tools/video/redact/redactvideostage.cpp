#include "tools/video/redact/redactvideostage.h"

#include "toolkit/stage.h"

RedactVideoStage::RedactVideoStage(QWidget* parent) : BoxStage(padding, minSide, parent)
{
    setMinimumHeight(160);
    setStyle(RedactStyle::blur);
}

void RedactVideoStage::setFrame(const QImage& frame)
{
    if (!frame.isNull()) setPicture(frame);
}

void RedactVideoStage::setStyle(RedactStyle style)
{
    setLook({fillOf(style), {}});
}

QColor RedactVideoStage::fillOf(RedactStyle style)
{
    return style == RedactStyle::black ? QColor(Qt::black) : QColor::fromRgbF(0.5f, 0.5f, 0.5f, 0.7f);
}

void RedactVideoStage::paintBackdrop(QPainter& painter)
{
    Stage::paint(painter, size(), true);
}
