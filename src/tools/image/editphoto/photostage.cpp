#include "tools/image/editphoto/photostage.h"

#include "toolkit/imagegeometry.h"
#include "toolkit/loadingview.h"
#include "tools/image/editphoto/stagebutton.h"
#include "tools/image/editphoto/thinscrollbars.h"

#include <QPainter>
#include <QScrollArea>

namespace {

// The picture at its own size: one image pixel per device pixel.
class PixelView : public QWidget
{
  public:
    void setImage(const QImage& image)
    {
        m_image = image;
        m_image.setDevicePixelRatio(devicePixelRatioF());
        setFixedSize((QSizeF(image.size()) / devicePixelRatioF()).toSize());
        update();
    }

  protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).drawImage(QPointF(), m_image); }

  private:
    QImage m_image;
};

} // namespace

PhotoStage::PhotoStage(QWidget* parent)
    : QWidget(parent), m_loading(new LoadingView(this)), m_scroller(new QScrollArea(this)),
      m_zoom(new StageButton(QStringLiteral("100%"), QStringLiteral("magnifyingglass"), this)),
      m_compare(
          new StageButton(QStringLiteral("Hold to Compare"), QStringLiteral("rectangle.split.2x1"), this))
{
    m_scroller->setAlignment(Qt::AlignCenter);
    m_scroller->setWidget(new PixelView);
    ThinScrollBars::apply(*m_scroller, QColor(255, 255, 255, 110));
    connect(m_zoom, &StageButton::clicked, this, [this] { setActualSize(!m_actualSize); });
    arrange();
}

void PhotoStage::setImage(const QImage& image)
{
    if (image.cacheKey() == m_image.cacheKey()) return;
    m_image = image;
    static_cast<PixelView*>(m_scroller->widget())->setImage(image);
    arrange();
}

void PhotoStage::setError(const std::optional<QString>& error)
{
    m_loading->setError(error);
}

void PhotoStage::setActualSize(bool actualSize)
{
    if (actualSize == m_actualSize) return;
    m_actualSize = actualSize;
    m_zoom->setTitle(actualSize ? QStringLiteral("Fit") : QStringLiteral("100%"));
    arrange();
}

QRect PhotoStage::pictureRect() const
{
    return fittedRect(QSizeF(m_image.size()), QSizeF(size()), padding).toRect();
}

void PhotoStage::arrange()
{
    const bool shown = !m_image.isNull();
    m_loading->setVisible(!shown);
    m_scroller->setVisible(shown && m_actualSize);
    m_loading->setGeometry(rect());
    m_scroller->setGeometry(rect());
    if (shown && !m_actualSize) {
        m_fitted.fit(m_image, pictureRect().size(), devicePixelRatioF());
    }
    m_zoom->move(buttonInset, buttonInset);
    m_compare->move(width() - buttonInset - m_compare->width(), buttonInset);
    m_zoom->raise();
    m_compare->raise();
    update();
}

void PhotoStage::paintEvent(QPaintEvent*)
{
    if (m_image.isNull() || m_actualSize) return;
    QPainter(this).drawImage(pictureRect().topLeft(), m_fitted.image());
}

void PhotoStage::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    arrange();
}
