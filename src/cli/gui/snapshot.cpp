#include "cli/gui/snapshot.h"

#include "core/converterror.h"
#include "core/output.h"

#include <QAbstractAnimation>
#include <QBuffer>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTimer>
#include <QWidget>
#include <algorithm>

namespace CLI {

namespace {

// Longer than any animation of ours; a view that never settles is drawn as it stands then.
constexpr int settleLimitMs = 5000;

// An endless animation (an indeterminate bar) never ends and is drawn as it stands.
bool ending(const QAbstractAnimation* animation)
{
    return animation->state() == QAbstractAnimation::Running && animation->loopCount() >= 0;
}

// Delivers the queued layout and polish work, then lets every animation under `widget` that
// has an end reach it.
void settle(QWidget& widget)
{
    QCoreApplication::sendPostedEvents();
    const QList<QAbstractAnimation*> animations = widget.findChildren<QAbstractAnimation*>();
    const auto animating = [&] { return std::any_of(animations.cbegin(), animations.cend(), ending); };
    if (!animating()) return;
    QEventLoop loop;
    for (QAbstractAnimation* animation : animations) {
        QObject::connect(animation, &QAbstractAnimation::stateChanged, &loop, [&] {
            if (!animating()) loop.quit();
        });
    }
    QTimer::singleShot(settleLimitMs, &loop, &QEventLoop::quit);
    loop.exec();
    QCoreApplication::sendPostedEvents();
}

} // namespace

QString snapshot(QWidget& widget, QSize size, const QString& pngPath)
{
    const bool wasVisible = widget.isVisible();
    widget.setAttribute(Qt::WA_DontShowOnScreen, true);
    widget.resize(size);
    widget.show();
    settle(widget);

    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) {
        if (!wasVisible) widget.hide();
        throw ConvertError::failed(QStringLiteral("snapshot failed"));
    }
    image.setDevicePixelRatio(1);
    image.fill(Qt::transparent);
    widget.render(&image);
    if (!wasVisible) widget.hide();
    return writePng(image, pngPath);
}

QString writePng(const QImage& image, const QString& pngPath)
{
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG") || png.isEmpty())
        throw ConvertError::failed(QStringLiteral("png failed"));

    return Output::write(pngPath, [&png](const QString& temporary) { Output::writeFile(temporary, png); });
}

QLinearGradient backdrop(const QRectF& rect)
{
    QLinearGradient g(rect.topLeft(), rect.bottomRight());
    g.setColorAt(0, QColor::fromRgbF(1.0f, 0.6f, 0.25f));
    g.setColorAt(1, QColor::fromRgbF(0.9f, 0.4f, 0.45f));
    return g;
}

void Backdrop::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), backdrop(QRectF(rect())));
}

} // namespace CLI
