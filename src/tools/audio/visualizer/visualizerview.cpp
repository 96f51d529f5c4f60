#include "tools/audio/visualizer/visualizerview.h"

#include "core/fmt.h"
#include "engines/heavyengines.h"
#include "toolkit/audiosource.h"
#include "toolkit/imagegeometry.h"
#include "toolkit/layouts.h"
#include "toolkit/pools.h"
#include "toolkit/secondarybutton.h"
#include "toolkit/segmented.h"
#include "toolkit/stage.h"
#include "toolkit/textlabel.h"
#include "toolkit/theme.h"
#include "toolkit/waveformview.h"
#include "tools/audio/visualizer/colourdot.h"
#include "tools/audio/visualizer/visualizerpreview.h"
#include "tools/audio/visualizer/visualizerwork.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace {

// Large enough for the preview at any scale of the window.
constexpr double backgroundPreviewSize = 1200;

template <class T> QStringList labels(const QList<T>& cases)
{
    QStringList out;
    for (const T c : cases)
        out << rawValue(c);
    return out;
}

} // namespace

const QList<VisualizerView::Colour>& VisualizerView::colours()
{
    static const QList<Colour> list = {
        {QStringLiteral("FF5200"), Theme::orange()},
        {QStringLiteral("FFFFFF"), Qt::white},
        {QStringLiteral("38D9F5"), QColor::fromRgbF(0.22f, 0.85f, 0.96f)},
        {QStringLiteral("FF5FA2"), QColor::fromRgbF(1.0f, 0.37f, 0.64f)},
        {QStringLiteral("FFD60A"), QColor::fromRgbF(1.0f, 0.84f, 0.04f)},
    };
    return list;
}

VisualizerView::VisualizerView(std::shared_ptr<ToolContext> context, QWidget* parent)
    : ToolView(std::move(context), parent),
      m_source(new AudioSource(this->context().urls().value(0), buckets, this)),
      m_preview(new VisualizerPreview), m_shapes(new Segmented(labels(allVisualShapes()))),
      m_styles(new Segmented(labels(allVisualStyles()))),
      m_duration(new TextLabel(QString(), 12, QFont::Normal, Theme::inkSoft()))
{
    addSource(m_source);
    column()->setSpacing(14);
    column()->addWidget(new Stage(true, m_preview), 1);
    column()->addWidget(choiceRow(QStringLiteral("Shape"), m_shapes));
    column()->addWidget(choiceRow(QStringLiteral("Style"), m_styles));
    column()->addWidget(colourRow());
    column()->addWidget(backgroundRow());
    footer()->addWidget(m_duration);
    primary(QStringLiteral("Make Video"));

    connect(m_source, &AudioSource::loaded, this, &VisualizerView::refresh);
    connect(m_shapes, &Segmented::edited, this, [this](int i) {
        m_shape = allVisualShapes().value(i, m_shape);
        refresh();
    });
    connect(m_styles, &Segmented::edited, this, [this](int i) {
        m_style = allVisualStyles().value(i, m_style);
        refresh();
    });
    refresh();
}

QWidget* VisualizerView::choiceRow(const QString& label, QWidget* control)
{
    auto* owner = new QWidget;
    QHBoxLayout* layout = Layouts::row(owner, 8);
    layout->addWidget(new TextLabel(label, 13, QFont::Normal, Theme::ink()));
    layout->addStretch(1);
    layout->addWidget(control);
    return owner;
}

QWidget* VisualizerView::colourRow()
{
    auto* dots = new QWidget;
    QHBoxLayout* layout = Layouts::row(dots, 8);
    layout->setSpacing(4);
    for (int i = 0; i < colours().size(); ++i) {
        auto* dot = new ColourDot(colours()[i].shown);
        layout->addWidget(dot);
        m_dots << dot;
        connect(dot, &ColourDot::clicked, this, [this, i] {
            m_colour = i;
            refresh();
        });
    }
    return choiceRow(QStringLiteral("Colour"), dots);
}

QWidget* VisualizerView::backgroundRow()
{
    auto* buttons = new QWidget;
    QHBoxLayout* layout = Layouts::row(buttons, 8);
    m_black = new SecondaryButton(QStringLiteral("Use Black"));
    m_image = new SecondaryButton(QString());
    layout->addWidget(m_black);
    layout->addWidget(m_image);
    connect(m_black, &SecondaryButton::clicked, this, [this] { setBackground(std::nullopt); });
    connect(m_image, &SecondaryButton::clicked, this, &VisualizerView::pickBackground);
    return choiceRow(QStringLiteral("Background"), buttons);
}

void VisualizerView::pickBackground()
{
    const QString path = QFileDialog::getOpenFileName(
        this, QStringLiteral("Choose a Background"), QString(),
        QStringLiteral("Images (*.png *.jpg *.jpeg *.heic *.heif *.avif *.webp *.gif *.bmp *.tif *.tiff)"));
    if (!path.isEmpty()) setBackground(path);
}

void VisualizerView::setBackground(const std::optional<QString>& path)
{
    m_background = path;
    m_backgroundPreview = QImage();
    refresh();
    if (!path) return;
    std::function<QImage()> load = [path = *path] {
        try {
            return downscaled(Modules::entries<HeavyEngines>().loadImage(path), backgroundPreviewSize);
        } catch (const std::exception&) {
            return QImage();
        }
    };
    Pools::deliver<QImage>(Pools::loader(), this, std::move(load), [this, path = *path](QImage image) {
        if (m_background != path) return; // another choice came meanwhile
        m_backgroundPreview = image;
        refresh();
    });
}

void VisualizerView::refresh()
{
    m_shapes->setSelected(int(allVisualShapes().indexOf(m_shape)));
    m_styles->setSelected(int(allVisualStyles().indexOf(m_style)));
    for (int i = 0; i < m_dots.size(); ++i)
        m_dots[i]->setChosen(i == m_colour);
    m_black->setVisible(m_background.has_value());
    m_image->setContent(m_background ? QStringLiteral("Change Image…") : QStringLiteral("Choose Image…"),
                        QStringLiteral("photo"));
    m_preview->setState({WaveformView::fitted(m_source->samples()), m_shape, m_style,
                         colours()[m_colour].shown, m_backgroundPreview});
    m_duration->setText(QStringLiteral("Duration ") + Fmt::time(m_source->duration(), false));
}

void VisualizerView::apply()
{
    const VisualShape shape = m_shape;
    const VisualStyle style = m_style;
    const QString hex = colours()[m_colour].hex;
    const std::optional<QString> background = m_background;
    context().run(QStringLiteral("Making visualizer video"), std::nullopt,
                  [shape, style, hex, background](const QString& file, Job& job, const Progress& progress) {
                      return ToolOps::visualize(file, shape, style, hex, background, job, progress);
                  });
}
