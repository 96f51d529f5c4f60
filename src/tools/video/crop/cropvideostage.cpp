#include "tools/video/crop/cropvideostage.h"

#include "toolkit/cropoverlay.h"
#include "toolkit/imagegeometry.h"
#include "toolkit/loadingview.h"
#include "toolkit/stage.h"

#include <QPainter>

CropVideoStage::CropVideoStage(QWidget* parent)
    : QWidget(parent), m_overlay(new CropOverlay(this)), m_loading(new LoadingView(this))
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    arrange();
}

void CropVideoStage::setFrame(const QImage& frame)
{
    m_frame = frame;
    arrange();
}

QRect CropVideoStage::pictureRect() const
{
    return fittedRect(QSizeF(m_frame.size()), QSizeF(size()), padding).toRect();
}

void CropVideoStage::arrange()
{
    const bool shown = !m_frame.isNull();
    m_overlay->setVisible(shown);
    m_loading->setVisible(!shown);
    if (shown)
        m_overlay->cover(pictureRect());
    else
        m_loading->setGeometry(rect());
    update();
}

void CropVideoStage::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    Stage::paint(painter, QSizeF(size()), true);
    if (m_frame.isNull()) return;
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRectF(pictureRect()), m_frame);
}

void CropVideoStage::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    arrange();
}
