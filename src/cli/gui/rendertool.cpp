#include "cli/gui/rendertool.h"

#include "cli/gui/snapshot.h"
#include "core/converterror.h"
#include "toolkit/framedview.h"
#include "toolkit/toolwindow.h"
#include "tools/toolwindows.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QImage>
#include <QPainter>
#include <QPointer>
#include <QTimer>

namespace CLI {

namespace {

// Far longer than any file takes to load; a view still loading then is not drawn half-loaded.
constexpr int loadLimitMs = 60000;

// False when the view is still loading at the limit; true too when its window went meanwhile.
bool waitUntilSettled(FramedView* view)
{
    const QPointer<FramedView> watched = view;
    if (view->isSettled()) return true;
    QEventLoop loop;
    QObject::connect(view, &FramedView::settled, &loop, &QEventLoop::quit);
    QObject::connect(view, &QObject::destroyed, &loop, &QEventLoop::quit);
    QTimer::singleShot(loadLimitMs, &loop, &QEventLoop::quit);
    loop.exec();
    return !watched || watched->isSettled();
}

} // namespace

std::optional<QString> renderTool(ToolID tool, const QString& pngPath, const QStringList& files)
{
    const QPointer<ToolWindow> window = ToolWindows::open(tool, files);
    if (!window) return std::nullopt;
    if (FramedView* view = window->view(); view && !waitUntilSettled(view))
        throw ConvertError::failed(QStringLiteral("the window was still loading its files after a minute"));
    QCoreApplication::sendPostedEvents(); // layout of what the load brought
    if (!window) return std::nullopt;

    QImage drawn(window->size(), QImage::Format_ARGB32_Premultiplied);
    QImage image(window->size(), QImage::Format_ARGB32_Premultiplied);
    if (drawn.isNull() || image.isNull()) throw ConvertError::failed(QStringLiteral("snapshot failed"));
    drawn.setDevicePixelRatio(1);
    drawn.fill(Qt::transparent);
    window->render(&drawn, QPoint(), QRegion(), QWidget::DrawChildren);
    {
        QPainter painter(&image);
        painter.fillRect(image.rect(), backdrop(QRectF(image.rect())));
        painter.drawImage(0, 0, drawn);
    }
    // Where the window draws nothing (its rounded corners) the desktop would show: transparent.
    for (int y = 0; y < image.height(); ++y) {
        const auto* from = reinterpret_cast<const QRgb*>(drawn.constScanLine(y));
        auto* to = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(from[x]) == 0) to[x] = 0;
    }
    return writePng(image, pngPath);
}

} // namespace CLI
