#include "cli/gui/renderwheel.h"

#include "app/wheelcontroller.h"
#include "cli/gui/snapshot.h"
#include "core/catalog.h"
#include "toolkit/wheel/wheelmodel.h"
#include "toolkit/wheel/wheelview.h"

#include <QLinearGradient>
#include <QPainter>
#include <QRegularExpression>
#include <QWidget>

namespace CLI {

namespace {

constexpr int canvas = 360;

class WheelBackdrop : public QWidget
{
  protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        QLinearGradient g(rect().topLeft(), rect().bottomRight());
        g.setColorAt(0, QColor::fromRgbF(1.0f, 0.62f, 0.2f));
        g.setColorAt(1, QColor::fromRgbF(0.95f, 0.35f, 0.3f));
        painter.fillRect(rect(), g);
    }
};

} // namespace

std::optional<int> takeHighlight(QStringList& rest)
{
    const qsizetype at = rest.indexOf(QStringLiteral("--highlight"));
    if (at < 0 || at + 1 >= rest.size()) return std::nullopt;
    const QString value = rest.at(at + 1);
    rest.remove(at, 2);

    static const QRegularExpression integer(QStringLiteral("^[+-]?[0-9]+$"));
    if (!integer.match(value).hasMatch()) return std::nullopt;
    bool ok = false;
    const int index = value.toInt(&ok, 10);
    return ok ? std::optional<int>(index) : std::nullopt;
}

QString renderWheel(WheelMode mode, const QString& pngPath, const QStringList& files,
                    std::optional<int> highlight)
{
    WheelModel model;
    model.setMode(mode);
    model.setItems(Catalog::items(mode, files));
    model.setRestingText(WheelController::restingText(files));
    model.setHighlighted(highlight);
    model.setBloom(true);

    WheelBackdrop backdrop;
    backdrop.setFixedSize(canvas, canvas);
    auto* view = new WheelView(&model, &backdrop);
    view->move((canvas - view->width()) / 2, (canvas - view->height()) / 2);
    return snapshot(backdrop, QSize(canvas, canvas), pngPath);
}

} // namespace CLI
