#include "tools/image/collage/collageview.h"

#include "core/converterror.h"
#include "toolkit/layouts.h"
#include "toolkit/previewrunner.h"
#include "toolkit/segmented.h"
#include "toolkit/sliderrow.h"
#include "toolkit/stage.h"
#include "toolkit/swatch.h"
#include "toolkit/textlabel.h"
#include "toolkit/theme.h"
#include "tools/image/collage/collagerenderer.h"
#include "tools/image/collage/collagethumbs.h"
#include "tools/image/collage/createcollage.h"
#include "tools/image/collage/thumbstrip.h"
#include "tools/image/shared/backdrop.h"
#include "tools/image/shared/canvaslimit.h"
#include "tools/image/shared/firstpreview.h"
#include "tools/image/shared/previewpane.h"
#include "tools/image/shared/stripscroller.h"

#include <QHBoxLayout>
#include <cmath>

namespace {

} // namespace

CollageView::CollageView(std::shared_ptr<ToolContext> context, QWidget* parent)
    : ToolView(std::move(context), parent), m_order(this->context().urls()),
      m_thumbs(new CollageThumbs(m_order, this)), m_runner(new PreviewRunner(this)),
      m_first(new FirstPreview(this)), m_pane(new PreviewPane(14)), m_strip(new ThumbStrip),
      m_spacing(new SliderRow({.label = QStringLiteral("Spacing"),
                               .lo = 0,
                               .hi = 0.06,
                               .format = [this](double v) { return spacingText(v, m_settings.width); }})),
      m_corners(new SliderRow(
          {.label = QStringLiteral("Corners"), .lo = 0, .hi = 0.08, .format = &CollageView::cornersText}))
{
    addSource(m_thumbs);
    addSource(m_first);
    column()->setSpacing(12);
    column()->addWidget(new Stage(false, m_pane), 1);
    column()->addWidget(new StripScroller(m_strip));
    column()->addWidget(layoutRow());
    column()->addWidget(m_spacing);
    column()->addWidget(m_corners);
    column()->addWidget(backgroundRow());
    footer()->addWidget(widthRow());
    primary(QStringLiteral("Save Collage"));

    connect(m_spacing, &SliderRow::edited, this, [this](double v) {
        CollageSettings s = m_settings;
        s.spacing = v;
        setSettings(s);
    });
    connect(m_corners, &SliderRow::edited, this, [this](double v) {
        CollageSettings s = m_settings;
        s.corners = v;
        setSettings(s);
    });
    connect(m_strip, &ThumbStrip::swap, this, &CollageView::swap);
    connect(m_runner, &PreviewRunner::ready, this, [this](const QImage& image) {
        m_pane->setImage(image);
        m_first->arrived();
    });
    connect(m_thumbs, &CollageThumbs::settled, this, [this] {
        showThumbs();
        rerender();
    });
    showThumbs();
    showSettings();
}

QWidget* CollageView::layoutRow()
{
    auto* owner = new QWidget;
    QHBoxLayout* layout = Layouts::row(owner, 8);
    layout->addWidget(new TextLabel(QStringLiteral("Layout"), 13, QFont::Normal, Theme::ink()));
    QStringList labels;
    for (CollageLayout l : CollageLayouts::all())
        labels << CollageLayouts::rawValue(l);
    m_layouts = new Segmented(labels);
    connect(m_layouts, &Segmented::edited, this, [this](int i) {
        CollageSettings s = m_settings;
        s.layout = CollageLayouts::all().value(i, CollageLayout::grid);
        setSettings(s);
    });
    layout->addWidget(m_layouts);
    layout->addStretch(1);
    return owner;
}

QWidget* CollageView::backgroundRow()
{
    auto* owner = new QWidget;
    QHBoxLayout* layout = Layouts::row(owner, 8);
    auto* label = new TextLabel(QStringLiteral("Background"), 13, QFont::Normal, Theme::ink());
    label->setFixedWidth(90);
    layout->addWidget(label);
    auto* chips = new QWidget;
    QHBoxLayout* chipRow = Layouts::row(chips, 3);
    for (int i = 0; i < Backdrop::solids().size(); ++i) {
        auto* swatch = new Swatch(Backdrop::solids()[i], 24);
        connect(swatch, &Swatch::clicked, this, [this, i] {
            CollageSettings s = m_settings;
            s.background = i;
            setSettings(s);
        });
        chipRow->addWidget(swatch);
        m_swatches << swatch;
    }
    layout->addWidget(new StripScroller(chips), 1);
    return owner;
}

QWidget* CollageView::widthRow()
{
    QStringList labels;
    for (double w : widths)
        labels << QStringLiteral("%1 px").arg(qint64(w));
    m_widths = new Segmented(labels);
    connect(m_widths, &Segmented::edited, this, [this](int i) {
        CollageSettings s = m_settings;
        s.width = widths.value(i, s.width);
        setSettings(s);
    });
    return m_widths;
}

QString CollageView::spacingText(double spacing, double width)
{
    return QStringLiteral("%1 px").arg(qint64(std::trunc(spacing * width)));
}

QString CollageView::cornersText(double corners)
{
    return QStringLiteral("%1%").arg(qint64(std::trunc(corners * 1000)) / 10);
}

void CollageView::swap(int a, int b)
{
    if (a < 0 || b < 0 || a >= m_order.size() || b >= m_order.size() || a == b) return;
    m_order.swapItemsAt(a, b);
    showThumbs();
    rerender();
}

void CollageView::setSettings(const CollageSettings& settings)
{
    if (settings == m_settings) return;
    m_settings = settings;
    showSettings();
    rerender();
}

void CollageView::showSettings()
{
    m_layouts->setSelected(int(CollageLayouts::all().indexOf(m_settings.layout)));
    m_spacing->setValue(m_settings.spacing);
    m_spacing->refresh(); // its text is in pixels of the output width
    m_corners->setValue(m_settings.corners);
    for (int i = 0; i < m_swatches.size(); ++i)
        m_swatches[i]->setSelected(i == m_settings.background);
    m_widths->setSelected(int(widths.indexOf(m_settings.width)));
}

void CollageView::showThumbs()
{
    QList<QImage> thumbs;
    for (const QString& file : std::as_const(m_order))
        thumbs << m_thumbs->thumb(file);
    m_strip->setThumbs(thumbs);
}

void CollageView::rerender()
{
    if (!m_thumbs->isSettled()) return;
    QList<QImage> pictures;
    QList<QSize> sizes;
    for (const QString& file : std::as_const(m_order))
        if (const QImage thumb = m_thumbs->thumb(file); !thumb.isNull()) {
            pictures << thumb;
            sizes << thumb.size();
        }
    if (pictures.isEmpty()) {
        m_first->arrived(); // nothing to show, and the thumbnails have failed the view
        return;
    }
    // A collage that could not be saved says so here rather than when saving.
    try {
        CanvasLimit::check(CollageRenderer::canvasSize(sizes, m_settings), QStringLiteral("The collage"));
    } catch (const ConvertError& e) {
        m_pane->setError(e.description());
        m_runner->request([] { return QImage(); }); // and an older rendering never shows
        return;
    }
    m_pane->setError(std::nullopt);
    CollageSettings small = m_settings;
    small.width = previewWidth;
    m_runner->request([pictures, small] { return CollageRenderer::render(pictures, small); });
}

void CollageView::apply()
{
    context().runOnce(QStringLiteral("Making collage"), CreateCollage::detail(m_order.size()),
                      [order = m_order, settings = m_settings](Job& job, const Progress& progress) {
                          return CreateCollage::makeCollage(order, settings, job, progress);
                      });
}
