#include "tools/image/collage/thumbstrip.h"

#include "toolkit/textlabel.h"
#include "toolkit/theme.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace {

// A chevron pointing left or right; faint and deaf while disabled.
class Arrow : public QAbstractButton
{
  public:
    Arrow(bool left, QWidget* parent = nullptr) : QAbstractButton(parent), m_left(left)
    {
        setFocusPolicy(Qt::NoFocus);
        setFixedSize(14, 14);
    }

  protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QColor c = Theme::ink();
        c.setAlphaF(isEnabled() ? 0.9f : 0.25f);
        QPen pen(c, 1.8);
        pen.setCapStyle(Qt::RoundCap);
        pen.setJoinStyle(Qt::RoundJoin);
        painter.setPen(pen);
        const QPointF mid = QRectF(rect()).center();
        const double d = m_left ? 1.5 : -1.5;
        painter.drawPolyline(QPolygonF{mid + QPointF(d, -3.5), mid + QPointF(-d, 0), mid + QPointF(d, 3.5)});
    }

  private:
    const bool m_left;
};

// The thumbnail filling 56 × 44 points, cut at rounded corners.
class Thumb : public QWidget
{
  public:
    explicit Thumb(const QImage& image, QWidget* parent = nullptr) : QWidget(parent), m_image(image)
    {
        setFixedSize(56, 44);
    }

  protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
        QPainterPath shape;
        shape.addRoundedRect(QRectF(rect()), 6, 6);
        if (m_image.isNull()) {
            painter.fillPath(shape, QColor::fromRgbF(1, 1, 1, 0.3f));
            return;
        }
        painter.setClipPath(shape);
        const double s = std::max(width() / double(m_image.width()), height() / double(m_image.height()));
        const QSizeF drawn(m_image.width() * s, m_image.height() * s);
        painter.drawImage(QRectF(QPointF(width() - drawn.width(), height() - drawn.height()) / 2, drawn),
                          m_image);
    }

  private:
    const QImage m_image;
};

} // namespace

ThumbStrip::ThumbStrip(QWidget* parent) : QWidget(parent), m_row(new QHBoxLayout(this))
{
    m_row->setContentsMargins(0, 0, 0, 0);
    m_row->setSpacing(8);
    m_row->addStretch(1);
    setMinimumHeight(62);
}

void ThumbStrip::setThumbs(const QList<QImage>& thumbs)
{
    // Later: the arrow whose click asked for the new order is still in its signal.
    for (QWidget* tile : std::as_const(m_tiles)) {
        m_row->removeWidget(tile);
        tile->hide();
        tile->deleteLater();
    }
    m_tiles.clear();
    m_left.clear();
    m_right.clear();
    const int n = int(thumbs.size());
    for (int i = 0; i < n; ++i) {
        auto* tile = new QWidget;
        auto* stack = new QVBoxLayout(tile);
        stack->setContentsMargins(0, 0, 0, 0);
        stack->setSpacing(4);
        stack->addWidget(new Thumb(thumbs[i]));
        auto* under = new QHBoxLayout;
        under->setSpacing(2);
        auto* left = new Arrow(true);
        auto* right = new Arrow(false);
        left->setEnabled(i > 0);
        right->setEnabled(i < n - 1);
        connect(left, &QAbstractButton::clicked, this, [this, i] { emit swap(i, i - 1); });
        connect(right, &QAbstractButton::clicked, this, [this, i] { emit swap(i, i + 1); });
        auto* number = new TextLabel(QString::number(i + 1), 10, QFont::Normal, Theme::inkSoft());
        number->setAlignment(Qt::AlignCenter);
        under->addWidget(left);
        under->addWidget(number, 1);
        under->addWidget(right);
        stack->addLayout(under);
        m_row->insertWidget(i, tile);
        tile->show(); // the strip may be on screen already
        m_tiles << tile;
        m_left << left;
        m_right << right;
    }
    adjustSize();
}

QString ThumbStrip::positionText(qsizetype i) const
{
    const QWidget* tile = m_tiles.value(i);
    const auto* label = tile ? tile->findChild<QLabel*>() : nullptr;
    return label ? label->text() : QString();
}
