#include "tools/image/shared/previewpane.h"

#include "toolkit/imagegeometry.h"
#include "toolkit/loadingview.h"

#include <QPainter>

PreviewPane::PreviewPane(double padding, QWidget* parent)
    : QWidget(parent), m_padding(padding), m_loading(new LoadingView(this))
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void PreviewPane::setImage(const QImage& image)
{
    m_image = image;
    if (!image.isNull()) m_loading->setError(std::nullopt);
    m_loading->setVisible(image.isNull());
    update();
}

void PreviewPane::setError(const std::optional<QString>& error)
{
    m_loading->setError(error);
    if (error) setImage(QImage());
}

QRectF PreviewPane::imageRect() const
{
    return fittedRect(QSizeF(m_image.size()), QSizeF(size()), m_padding);
}

void PreviewPane::paintEvent(QPaintEvent*)
{
    if (m_image.isNull()) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(imageRect(), m_image);
}

void PreviewPane::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_loading->setGeometry(rect());
}
