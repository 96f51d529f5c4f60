#include "toolkit/filedrag.h"

#include "platform/dragsource.h"
#include "platform/x11clock.h"

#include <QApplication>
#include <QDrag>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScopeGuard>
#include <QUrl>
#include <QWidget>
#include <algorithm>

namespace {

constexpr int iconSide = 48, fanStep = 4, mostIconsShown = 8;

} // namespace

QMimeData* FileDrag::mimeData(const QStringList& files)
{
    auto* data = new QMimeData;
    QList<QUrl> urls;
    for (const QString& file : files)
        urls << QUrl::fromLocalFile(file);
    data->setUrls(urls);
    return data;
}

QPixmap FileDrag::image(const QStringList& files)
{
    const int shown = int(std::min<qsizetype>(files.size(), mostIconsShown));
    const int side = iconSide + fanStep * std::max(0, shown - 1);
    QPixmap image(side, side);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    const QFileIconProvider icons;
    for (int i = shown - 1; i >= 0; --i)
        icons.icon(QFileInfo(files[i])).paint(&painter, QRect(i * fanStep, i * fanStep, iconSide, iconSide));
    return image;
}

void FileDrag::press(const QMouseEvent& event)
{
    if (event.button() == Qt::LeftButton) m_pressAt = event.position().toPoint();
}

bool FileDrag::move(QWidget* source, const QMouseEvent& event, const QStringList& files,
                    Qt::DropActions actions)
{
    if (!m_pressAt || !(event.buttons() & Qt::LeftButton) ||
        (event.position().toPoint() - *m_pressAt).manhattanLength() < QApplication::startDragDistance())
        return false;
    m_pressAt.reset();
    // The drag's claim on the drag selection is stamped with the application's time.
    X11Clock::catchUp();
    auto* drag = new QDrag(source);
    drag->setMimeData(mimeData(files));
    drag->setPixmap(image(files));
    // The pointer holds the front icon by its middle.
    drag->setHotSpot(QPoint(iconSide / 2, iconSide / 2));
    DragSource::setOwnDrag(files);
    const auto ended = qScopeGuard([] { DragSource::setOwnDrag(std::nullopt); });
    drag->exec(actions, Qt::CopyAction);
    return true;
}

bool FileDrag::release()
{
    const bool armed = m_pressAt.has_value();
    m_pressAt.reset();
    return armed;
}
