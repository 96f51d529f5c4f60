#include "toolkit/video/videopreview.h"

#include "toolkit/imagegeometry.h"
#include "toolkit/stage.h"
#include "toolkit/video/videomodel.h"

#include <QPainter>
#include <QTimer>
#include <cmath>

VideoPreview::VideoPreview(VideoModel& model, QWidget* parent)
    : QWidget(parent), m_model(model), m_spinner(new QTimer(this))
{
    setMinimumHeight(120);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    m_spinner->setInterval(80);
    connect(m_spinner, &QTimer::timeout, this, [this] {
        m_phase = std::fmod(m_phase + 0.125, 1.0);
        update();
    });
    connect(&model, &VideoModel::pictureChanged, this, &VideoPreview::pictureChanged);
    connect(&model, &VideoModel::playerChanged, this, &VideoPreview::pictureChanged);
    pictureChanged();
}

void VideoPreview::pictureChanged()
{
    // The spinner turns only while there is nothing to show.
    if (m_model.picture().isNull())
        m_spinner->start();
    else
        m_spinner->stop();
    update();
}

void VideoPreview::paint(QPainter& painter, QSizeF size, const QImage& picture, double phase)
{
    Stage::paint(painter, size, true);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (!picture.isNull()) {
        const QRectF box = fittedRect(QSizeF(picture.size()), size, 0);
        painter.drawImage(box, picture);
    } else {
        const QPointF centre(size.width() / 2, size.height() / 2);
        painter.setPen(Qt::NoPen);
        for (int i = 0; i < 8; ++i) {
            const double a = 2 * M_PI * (i / 8.0 + phase);
            painter.setBrush(QColor::fromRgbF(1, 1, 1, float(0.2 + 0.6 * i / 8.0)));
            painter.drawEllipse(centre + QPointF(std::cos(a), std::sin(a)) * 9, 1.8, 1.8);
        }
    }
    painter.restore();
}

void VideoPreview::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paint(painter, size(), m_model.picture(), m_phase);
}
