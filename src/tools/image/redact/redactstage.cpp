#include "tools/image/redact/redactstage.h"

#include "toolkit/imagegeometry.h"
#include "toolkit/imagesource.h"
#include "toolkit/loadingview.h"
#include "toolkit/symbols.h"
#include "toolkit/theme.h"
#include "toolkit/unitbox.h"
#include "tools/image/redact/redactboxes.h"

#include <QMouseEvent>
#include <QPainter>
#include <cmath>

namespace {

constexpr double outline = 1.5, symbolSide = 11;

QColor fillOf(RedactStyle style)
{
    switch (style) {
    case RedactStyle::black:
        return Qt::black;
    case RedactStyle::white:
        return Qt::white;
    case RedactStyle::blur:
    case RedactStyle::pixelate:
        break;
    }
    return QColor::fromRgbF(0.5f, 0.5f, 0.5f, 0.75f);
}

QString symbolOf(RedactStyle style)
{
    if (style == RedactStyle::blur) return QStringLiteral("drop");
    if (style == RedactStyle::pixelate) return QStringLiteral("square.grid.3x3");
    return {};
}

} // namespace

RedactStage::RedactStage(const ImageSource& source, QWidget* parent)
    : QWidget(parent), m_source(source), m_loading(new LoadingView(this))
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    connect(&source, &ImageSource::previewChanged, this, &RedactStage::arrange);
    connect(&source, &ImageSource::errorChanged, this, [this] {
        m_loading->setError(m_source.error());
        arrange();
    });
    arrange();
}

void RedactStage::setBoxes(const QList<QRectF>& boxes)
{
    m_boxes = boxes;
    update();
}

void RedactStage::setStyle(RedactStyle style)
{
    m_style = style;
    update();
}

QRectF RedactStage::pictureRect() const
{
    const QImage& preview = m_source.preview();
    if (preview.isNull()) return {};
    return fittedRect(QSizeF(preview.size()), QSizeF(size()), padding);
}

void RedactStage::paintBox(QPainter& painter, const QRectF& unit, QSizeF shown, RedactStyle style,
                           bool filled)
{
    const QRectF r(unit.x() * shown.width(), unit.y() * shown.height(), unit.width() * shown.width(),
                   unit.height() * shown.height());
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(Theme::orange(), outline, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    pen.setMiterLimit(10);
    if (!filled) pen.setDashPattern({4 / outline, 3 / outline}); // in units of the pen's width
    painter.setPen(pen);
    painter.setBrush(filled ? QBrush(fillOf(style)) : QBrush(Qt::NoBrush));
    painter.drawRect(r);
    if (const QString symbol = symbolOf(style); filled && !symbol.isEmpty())
        Symbols::draw(
            painter, symbol,
            QRectF(r.center() - QPointF(symbolSide / 2, symbolSide / 2), QSizeF(symbolSide, symbolSide)),
            Qt::white);
    painter.restore();
}

void RedactStage::arrange()
{
    const bool shown = !m_source.preview().isNull();
    m_loading->setVisible(!shown);
    if (shown) {
        m_shown.fit(m_source.preview(), pictureRect().size(), devicePixelRatioF());
    } else {
        m_loading->setGeometry(rect());
    }
    update();
}

void RedactStage::paintEvent(QPaintEvent*)
{
    if (m_source.preview().isNull()) return;
    QPainter painter(this);
    const QRectF picture = pictureRect();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(picture, m_shown.image());
    painter.translate(picture.topLeft());
    for (const QRectF& box : m_boxes)
        paintBox(painter, box, picture.size(), m_style, true);
    if (m_drag.draft()) paintBox(painter, *m_drag.draft(), picture.size(), m_style, false);
}

void RedactStage::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    arrange();
}

void RedactStage::mousePressEvent(QMouseEvent* event)
{
    const QRectF picture = pictureRect();
    if (event->button() != Qt::LeftButton || !picture.contains(event->position())) return;
    m_drag.press(event->position() - picture.topLeft());
}

void RedactStage::mouseMoveEvent(QMouseEvent* event)
{
    const QRectF picture = pictureRect();
    if (m_drag.move(event->position() - picture.topLeft(), picture.size())) update();
}

// A drag draws a box; a click removes the topmost box under it.
void RedactStage::mouseReleaseEvent(QMouseEvent* event)
{
    if (!m_drag.isPressed() || event->button() != Qt::LeftButton) return;
    const QRectF picture = pictureRect();
    const BoxDrag::Ended ended = m_drag.release(event->position() - picture.topLeft(), picture.size());
    update();
    if (ended.drawn) {
        if (RedactBoxes::kept(*ended.drawn)) emit drawn(*ended.drawn);
    } else if (ended.clicked) {
        if (const std::optional<int> i = BoxDrag::topmostAt(m_boxes, *ended.clicked)) emit clicked(*i);
    }
}
