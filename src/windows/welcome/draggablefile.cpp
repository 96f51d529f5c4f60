#include "windows/welcome/draggablefile.h"

#include "toolkit/theme.h"

#include <QFileIconProvider>
#include <QFileInfo>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>

namespace {

constexpr int tileWidth = 78, imageSide = 48, spacing = 4;
constexpr double namePixels = 10;

QFont nameFont(const QWidget& widget)
{
    QFont font = widget.font();
    font.setPixelSize(int(namePixels));
    return font;
}

} // namespace

DraggableFile::DraggableFile(const QString& path, QWidget* parent)
    : QWidget(parent), m_path(path), m_image(path)
{
    if (m_image.isNull())
        m_image = QFileIconProvider().icon(QFileInfo(path)).pixmap(imageSide, imageSide).toImage();
    setCursor(Qt::OpenHandCursor);
    setFixedSize(sizeHint());
}

QSize DraggableFile::sizeHint() const
{
    return {tileWidth, imageSide + spacing + QFontMetrics(nameFont(*this)).height()};
}

void DraggableFile::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (!m_image.isNull()) {
        const QSize fitted = m_image.size().scaled(imageSide, imageSide, Qt::KeepAspectRatio);
        QRect target(QPoint(), fitted);
        target.moveCenter(QPoint(width() / 2, imageSide / 2));
        painter.drawImage(target, m_image);
    }
    painter.setFont(nameFont(*this));
    painter.setPen(Theme::ink());
    const QRect line(0, imageSide + spacing, width(), height() - imageSide - spacing);
    const QString name = QFileInfo(m_path).fileName();
    painter.drawText(line, Qt::AlignHCenter | Qt::AlignTop,
                     painter.fontMetrics().elidedText(name, Qt::ElideMiddle, width()));
}

void DraggableFile::mousePressEvent(QMouseEvent* event)
{
    m_drag.press(*event);
}

void DraggableFile::mouseMoveEvent(QMouseEvent* event)
{
    m_drag.move(this, *event, {m_path}, Qt::CopyAction);
}

void DraggableFile::mouseReleaseEvent(QMouseEvent*)
{
    m_drag.release();
}
