#include "tools/image/crop/cropstage.h"

#include "toolkit/cropoverlay.h"
#include "toolkit/imagegeometry.h"
#include "toolkit/imagesource.h"
#include "toolkit/loadingview.h"

#include <QPainter>

CropStage::CropStage(const ImageSource& source, QWidget* parent)
    : QWidget(parent), m_source(source), m_overlay(new CropOverlay(this)), m_loading(new LoadingView(this))
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    connect(&source, &ImageSource::previewChanged, this, &CropStage::arrange);
    connect(&source, &ImageSource::errorChanged, this, [this] {
        m_loading->setError(m_source.error());
        arrange();
    });
    arrange();
}

QRect CropStage::pictureRect() const
{
    const QImage& preview = m_source.preview();
    return fittedRect(QSizeF(preview.size()), QSizeF(size()), padding).toRect();
}

void CropStage::arrange()
{
    const bool shown = !m_source.preview().isNull();
    m_overlay->setVisible(shown);
    m_loading->setVisible(!shown);
    if (shown) {
        const QRect picture = pictureRect();
        m_overlay->cover(picture);
        m_shown.fit(m_source.preview(), picture.size(), devicePixelRatioF());
    } else {
        m_loading->setGeometry(rect());
    }
    update();
}

void CropStage::paintEvent(QPaintEvent*)
{
    if (m_source.preview().isNull()) return;
    QPainter(this).drawImage(pictureRect().topLeft(), m_shown.image());
}

void CropStage::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    arrange();
}
