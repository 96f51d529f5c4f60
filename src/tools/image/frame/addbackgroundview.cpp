#include "tools/image/frame/addbackgroundview.h"

#include "core/converterror.h"
#include "engines/heavyengines.h"
#include "toolkit/flowlayout.h"
#include "toolkit/imagegeometry.h"
#include "toolkit/imagesource.h"
#include "toolkit/pools.h"
#include "toolkit/previewrunner.h"
#include "toolkit/secondarybutton.h"
#include "toolkit/segmented.h"
#include "toolkit/sliderrow.h"
#include "toolkit/stage.h"
#include "toolkit/swatch.h"
#include "toolkit/textlabel.h"
#include "toolkit/theme.h"
#include "tools/image/frame/addbackground.h"
#include "tools/image/frame/backdroptile.h"
#include "tools/image/frame/framerenderer.h"
#include "tools/image/shared/canvaslimit.h"
#include "tools/image/shared/firstpreview.h"
#include "tools/image/shared/previewpane.h"
#include "tools/image/shared/stripscroller.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <cmath>

namespace {

QString pixels(double value)
{
    return QStringLiteral("%1 px").arg(qint64(std::trunc(value)));
}

QHBoxLayout* chips(QWidget* owner, int spacing)
{
    auto* layout = new QHBoxLayout(owner);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    return layout;
}

} // namespace

AddBackgroundView::AddBackgroundView(std::shared_ptr<ToolContext> context, QWidget* parent)
    : ToolView(std::move(context), parent),
      m_source(new ImageSource(this->context().urls().value(0), previewSize, this)),
      m_customColour(255, 149, 0), m_runner(new PreviewRunner(this)), m_first(new FirstPreview(this)),
      m_pane(new PreviewPane(16)),
      m_padding(new SliderRow({.label = QStringLiteral("Padding"),
                               .lo = 0,
                               .hi = 0.5,
                               .format = [this](double v) { return paddingText(v, sides().width()); }})),
      m_corners(new SliderRow({.label = QStringLiteral("Corners"),
                               .lo = 0,
                               .hi = 0.25,
                               .format = [this](double v) { return cornersText(v, sides().height()); }})),
      m_shadow(new SliderRow({.label = QStringLiteral("Shadow"),
                              .lo = 0,
                              .hi = 1,
                              .format = [this](double v) { return shadowText(v, sides().width()); }})),
      m_reset(new SecondaryButton(QStringLiteral("Reset")))
{
    m_picker = [](QWidget* parent) {
        return QFileDialog::getOpenFileName(
            parent, QStringLiteral("Choose a background picture"), QString(),
            QStringLiteral(
                "Images (*.png *.jpg *.jpeg *.heic *.heif *.webp *.tif *.tiff *.gif *.bmp *.avif)"));
    };
    addSource(m_source);
    addSource(m_first);
    column()->setSpacing(14);
    column()->addWidget(new Stage(false, m_pane), 1);
    column()->addWidget(backdropRow());
    column()->addWidget(m_padding);
    column()->addWidget(m_corners);
    column()->addWidget(m_shadow);
    column()->addWidget(ratioRow());
    footer()->addWidget(m_reset);
    primary(QStringLiteral("Save with Background"));

    const auto edit = [this](auto field) {
        return [this, field](double v) {
            FrameSettings s = m_settings;
            s.*field = v;
            setSettings(s);
        };
    };
    connect(m_padding, &SliderRow::edited, this, edit(&FrameSettings::padding));
    connect(m_corners, &SliderRow::edited, this, edit(&FrameSettings::corners));
    connect(m_shadow, &SliderRow::edited, this, edit(&FrameSettings::shadow));
    // Reset keeps the picked picture and the well's colour.
    connect(m_reset, &SecondaryButton::clicked, this, [this] { setSettings(FrameSettings()); });
    connect(m_runner, &PreviewRunner::ready, this, [this](const QImage& image) {
        m_pane->setImage(image);
        m_first->arrived();
    });
    connect(m_source, &ImageSource::previewChanged, this, &AddBackgroundView::rerender);
    connect(m_source, &ImageSource::errorChanged, this, [this] {
        m_pane->setError(m_source->error());
        m_first->arrived();
    });
    connect(m_source, &ImageSource::fullChanged, this, &AddBackgroundView::showSettings);
    showSettings();
}

QWidget* AddBackgroundView::backdropRow()
{
    auto* owner = new QWidget;
    auto* row = new QHBoxLayout(owner);
    row->setContentsMargins(0, 0, 0, 0);
    auto* label = new TextLabel(QStringLiteral("Background"), 13, QFont::Normal, Theme::ink());
    label->setFixedWidth(90);
    row->addWidget(label, 0, Qt::AlignTop);
    auto* rows = new QVBoxLayout;
    rows->setSpacing(6);
    row->addLayout(rows, 1);

    auto* first = new QWidget;
    QHBoxLayout* gradients = chips(first, 4);
    for (int i = 0; i < Backdrop::gradients().size(); ++i) {
        auto* swatch = new Swatch(Backdrop::gradientStyle(i), 34);
        connect(swatch, &Swatch::clicked, this, [this, i] {
            FrameSettings s = m_settings;
            s.backdrop = Backdrop::gradient(i);
            setSettings(s);
        });
        gradients->addWidget(swatch);
        m_gradients << swatch;
    }
    m_pictureTile = new BackdropTile;
    connect(m_pictureTile, &BackdropTile::clicked, this, &AddBackgroundView::pickImage);
    gradients->addWidget(m_pictureTile);
    rows->addWidget(new StripScroller(first));

    // Sixteen colours and the well are wider than the window: this row wraps.
    auto* second = new QWidget;
    auto* solids = new FlowLayout(second, 4);
    for (int i = 0; i < Backdrop::solids().size(); ++i) {
        auto* swatch = new Swatch(Backdrop::solids()[i], 34);
        connect(swatch, &Swatch::clicked, this, [this, i] {
            FrameSettings s = m_settings;
            s.backdrop = Backdrop::solid(i);
            setSettings(s);
        });
        solids->addWidget(swatch);
        m_solids << swatch;
    }
    m_well = new BackdropTile(m_customColour);
    connect(m_well, &BackdropTile::clicked, this, [this] {
        const QColor c = QColorDialog::getColor(m_customColour, this, QStringLiteral("Background colour"));
        if (c.isValid()) setCustomColour(c);
    });
    solids->addWidget(m_well);
    rows->addWidget(second);
    return owner;
}

QWidget* AddBackgroundView::ratioRow()
{
    auto* owner = new QWidget;
    QHBoxLayout* row = chips(owner, 8);
    row->addWidget(new TextLabel(QStringLiteral("Ratio"), 13, QFont::Normal, Theme::ink()));
    row->addStretch(1);
    QStringList labels;
    for (FrameRatio r : FrameRatios::all())
        labels << FrameRatios::rawValue(r);
    m_ratios = new Segmented(labels);
    connect(m_ratios, &Segmented::edited, this, [this](int i) {
        FrameSettings s = m_settings;
        s.ratio = FrameRatios::all().value(i, FrameRatio::auto_);
        setSettings(s);
    });
    row->addWidget(m_ratios);
    return owner;
}

QString AddBackgroundView::paddingText(double padding, double longSide)
{
    return pixels(padding * longSide);
}

QString AddBackgroundView::cornersText(double corners, double shortSide)
{
    return pixels(corners * shortSide);
}

QString AddBackgroundView::shadowText(double shadow, double longSide)
{
    return pixels(shadow * longSide * 0.05);
}

QSizeF AddBackgroundView::sides() const
{
    const QSize full = m_source->full().size();
    if (full.isEmpty()) return {1000, 1000};
    return {double(std::max(full.width(), full.height())), double(std::min(full.width(), full.height()))};
}

void AddBackgroundView::setSettings(const FrameSettings& settings)
{
    if (settings == m_settings) return;
    m_settings = settings;
    showSettings();
    rerender();
}

void AddBackgroundView::setCustomColour(const QColor& colour)
{
    m_customColour = colour;
    m_well->setColour(colour);
    FrameSettings s = m_settings;
    s.backdrop = Backdrop::custom(colour);
    setSettings(s);
}

void AddBackgroundView::pickImage()
{
    const QString path = m_picker(this);
    if (path.isEmpty()) return;
    // Decoded off the main thread: a large picture would otherwise freeze the window.
    std::function<QImage()> load = [path] {
        try {
            return Modules::entries<HeavyEngines>().loadImage(path);
        } catch (const std::exception&) {
            return QImage();
        }
    };
    Pools::deliver<QImage>(Pools::loader(), this, std::move(load), [this, path](QImage picture) {
        if (picture.isNull()) return;
        m_background = picture;
        FrameSettings s = m_settings;
        s.backdrop = Backdrop::image(path);
        if (s == m_settings) rerender(); // the same file again, perhaps changed since
        setSettings(s);
    });
}

void AddBackgroundView::showSettings()
{
    const Backdrop& b = m_settings.backdrop;
    for (int i = 0; i < m_gradients.size(); ++i)
        m_gradients[i]->setSelected(b.kind == Backdrop::Kind::gradient && b.index == i);
    for (int i = 0; i < m_solids.size(); ++i)
        m_solids[i]->setSelected(b.kind == Backdrop::Kind::solid && b.index == i);
    m_pictureTile->setSelected(b.kind == Backdrop::Kind::image);
    m_well->setSelected(b.kind == Backdrop::Kind::custom);
    m_padding->setValue(m_settings.padding);
    m_corners->setValue(m_settings.corners);
    m_shadow->setValue(m_settings.shadow);
    // The texts are in pixels of the picture, whose size arrives with it.
    for (SliderRow* row : {m_padding, m_corners, m_shadow})
        row->refresh();
    m_ratios->setSelected(int(FrameRatios::all().indexOf(m_settings.ratio)));
}

void AddBackgroundView::rerender()
{
    const QImage preview = m_source->preview();
    if (preview.isNull()) return;
    // A frame that could not be saved at full size says so here rather than when saving.
    try {
        CanvasLimit::check(FrameRenderer::layout(QSizeF(m_source->full().size()), m_settings).canvas,
                           QStringLiteral("The framed picture"));
    } catch (const ConvertError& e) {
        m_pane->setError(e.description());
        m_runner->request([] { return QImage(); }); // and an older rendering never shows
        return;
    }
    m_pane->setError(std::nullopt);
    m_runner->request([preview, settings = m_settings, background = m_background] {
        return FrameRenderer::render(preview, settings, downscaled(background, backgroundPreviewSize));
    });
}

void AddBackgroundView::apply()
{
    context().run(QStringLiteral("Adding background"), std::nullopt,
                  [settings = m_settings, background = m_background](const QString& file, Job& job,
                                                                     const Progress& progress) {
                      return AddBackground::frameFile(file, settings, background, job, progress);
                  });
}
