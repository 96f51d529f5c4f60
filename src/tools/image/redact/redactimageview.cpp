#include "tools/image/redact/redactimageview.h"

#include "core/progress.h"
#include "toolkit/imagesource.h"
#include "toolkit/loadingview.h"
#include "toolkit/pools.h"
#include "toolkit/secondarybutton.h"
#include "toolkit/segmented.h"
#include "toolkit/stage.h"
#include "toolkit/textlabel.h"
#include "toolkit/theme.h"
#include "tools/image/redact/redactboxes.h"
#include "tools/image/redact/redactimage.h"
#include "tools/image/redact/redactstage.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace {

constexpr int spinnerSide = 18;

} // namespace

RedactImageView::RedactImageView(std::shared_ptr<ToolContext> context, QWidget* parent)
    : ToolView(std::move(context), parent),
      m_source(new ImageSource(this->context().urls().value(0), previewSize, this)),
      m_stage(new RedactStage(*m_source)),
      m_note(new TextLabel(QStringLiteral("Drag over the photo to cover an area. Click a box to remove it."),
                           12, QFont::Normal, Theme::inkSoft())),
      m_clear(new SecondaryButton(QStringLiteral("Clear")))
{
    addSource(m_source);
    column()->setSpacing(12);
    column()->addWidget(toolRow());
    column()->addWidget(new Stage(false, m_stage), 1);
    m_note->setWordWrap(true);
    column()->addWidget(m_note);
    footer()->addWidget(m_clear);
    primary(QStringLiteral("Save Redacted Copy"));

    connect(m_stage, &RedactStage::drawn, this,
            [this](const QRectF& box) { setBoxes(m_boxes + QList{box}); });
    connect(m_stage, &RedactStage::clicked, this, [this](int i) {
        QList<QRectF> boxes = m_boxes;
        boxes.removeAt(i);
        setBoxes(boxes);
    });
    connect(m_clear, &SecondaryButton::clicked, this, [this] { setBoxes({}); });
    connect(m_source, &ImageSource::fullChanged, this, &RedactImageView::enableSearches);
    setBoxes({});
    enableSearches();
}

QWidget* RedactImageView::toolRow()
{
    auto* owner = new QWidget;
    auto* layout = new QHBoxLayout(owner);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    m_faces = new SecondaryButton(QStringLiteral("Find Faces"), QStringLiteral("face.dashed"));
    m_text = new SecondaryButton(QStringLiteral("Find Text"), QStringLiteral("text.viewfinder"));
    m_spinner = new LoadingView;
    m_spinner->setFixedSize(spinnerSide, spinnerSide);
    m_spinner->hide();
    QStringList labels;
    for (RedactStyle style : allRedactStyles())
        labels << rawValue(style);
    m_styles = new Segmented(labels);
    m_styles->setSelected(int(allRedactStyles().indexOf(m_style)));
    layout->addWidget(m_faces);
    layout->addWidget(m_text);
    layout->addWidget(m_spinner);
    layout->addStretch(1);
    layout->addWidget(m_styles);
    connect(m_faces, &SecondaryButton::clicked, this, [this] { detect(true); });
    connect(m_text, &SecondaryButton::clicked, this, [this] { detect(false); });
    connect(m_styles, &Segmented::edited, this, [this](int i) {
        m_style = allRedactStyles().value(i, RedactStyle::black);
        m_styles->setSelected(i);
        m_stage->setStyle(m_style);
    });
    return owner;
}

QString RedactImageView::note() const
{
    return m_note->text();
}

void RedactImageView::setBoxes(const QList<QRectF>& boxes)
{
    m_boxes = boxes;
    m_stage->setBoxes(boxes);
    m_clear->setEnabled(!boxes.isEmpty());
    setPrimaryAllowed(!boxes.isEmpty());
}

void RedactImageView::setDetecting(bool detecting)
{
    m_detecting = detecting;
    m_spinner->setVisible(detecting);
    enableSearches();
}

void RedactImageView::enableSearches()
{
    const bool ready = !m_source->full().isNull() && !m_detecting;
    m_faces->setEnabled(ready);
    m_text->setEnabled(ready);
}

void RedactImageView::detect(bool faces)
{
    if (m_source->full().isNull() || m_detecting) return;
    setDetecting(true);
    std::function<QList<QRectF>()> search = [image = m_source->full(),
                                             find = faces ? m_detector.faces : m_detector.text] {
        // A search that fails finds nothing; the note says so.
        try {
            return find ? find(image) : QList<QRectF>();
        } catch (const std::exception&) {
            return QList<QRectF>();
        }
    };
    // A window closed meanwhile never hears of the result.
    Pools::deliver<QList<QRectF>>(Pools::loader(), this, std::move(search),
                                  [this, faces](QList<QRectF> found) {
                                      setDetecting(false);
                                      const QList<QRectF> boxes = RedactBoxes::found(found, faces);
                                      setBoxes(m_boxes + boxes);
                                      m_note->setText(RedactBoxes::note(boxes.size(), faces));
                                  });
}

void RedactImageView::apply()
{
    const QList<QRectF> boxes = m_boxes;
    const RedactStyle style = m_style;
    context().run(QStringLiteral("Redacting photo"), std::nullopt,
                  [boxes, style](const QString& file, Job& job, const Progress& progress) {
                      return RedactImage::redactFile(file, boxes, style, job, progress);
                  });
}
