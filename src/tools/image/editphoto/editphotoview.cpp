#include "tools/image/editphoto/editphotoview.h"

#include "toolkit/imagesource.h"
#include "toolkit/previewrunner.h"
#include "toolkit/secondarybutton.h"
#include "toolkit/sliderrow.h"
#include "toolkit/stage.h"
#include "toolkit/textlabel.h"
#include "tools/image/editphoto/adjustmentrows.h"
#include "tools/image/editphoto/adjustmentsrenderer.h"
#include "tools/image/editphoto/editphoto.h"
#include "tools/image/editphoto/photostage.h"
#include "tools/image/editphoto/stagebutton.h"
#include "tools/image/editphoto/thinscrollbars.h"

#include <QScrollArea>
#include <QVBoxLayout>

EditPhotoView::EditPhotoView(std::shared_ptr<ToolContext> context, QWidget* parent)
    : ToolView(std::move(context), parent),
      m_source(new ImageSource(this->context().urls().value(0), previewSize, this)),
      m_runner(new PreviewRunner(this)), m_stage(new PhotoStage),
      m_reset(new SecondaryButton(QStringLiteral("Reset"))), m_renderer(AdjustmentsRenderer::render)
{
    addSource(m_source);
    auto* stage = new Stage(true, m_stage);
    stage->setFixedHeight(stageHeight);
    column()->setSpacing(12);
    column()->addWidget(stage);
    column()->addWidget(sliders(), 1);
    footer()->addWidget(m_reset);
    primary(QStringLiteral("Save Edited Copy"));
    setPrimaryAllowed(false);

    connect(m_reset, &SecondaryButton::clicked, this, [this] { setAdjustments({}); });
    connect(m_stage->compareButton(), &StageButton::pressed, this, [this] { setShowOriginal(true); });
    connect(m_stage->compareButton(), &StageButton::released, this, [this] { setShowOriginal(false); });
    connect(m_runner, &PreviewRunner::ready, this, [this](const QImage& image) {
        m_rendered = image;
        showImage();
    });
    // Sliders moved while the picture was loading count as soon as it is there.
    connect(m_source, &ImageSource::previewChanged, this, [this] {
        showImage();
        if (m_adjustments != PhotoAdjustments{}) rerender();
    });
    connect(m_source, &ImageSource::errorChanged, this, [this] { m_stage->setError(m_source->error()); });
}

QWidget* EditPhotoView::sliders()
{
    auto* list = new QWidget;
    auto* layout = new QVBoxLayout(list);
    layout->setContentsMargins(0, 0, 8, 0);
    layout->setSpacing(9);
    for (const AdjustmentRows::Row& r : AdjustmentRows::all()) {
        if (r.section) {
            if (!m_rows.isEmpty()) layout->addSpacing(6);
            layout->addWidget(new SectionTitle(QString::fromUtf8(r.section)));
        }
        auto* row = new SliderRow({.label = QString::fromUtf8(r.label),
                                   .lo = r.lo,
                                   .hi = r.hi,
                                   .step = r.step,
                                   .defaultValue = 0.0,
                                   .format = r.format,
                                   .labelWidth = 96});
        row->setValue(0);
        layout->addWidget(row);
        m_rows << row;
        connect(row, &SliderRow::edited, this, [this, field = r.field](double value) {
            PhotoAdjustments a = m_adjustments;
            a.*field = value;
            setAdjustments(a);
        });
    }
    layout->addStretch(1);

    auto* scroller = new QScrollArea;
    scroller->setWidget(list);
    scroller->setWidgetResizable(true);
    scroller->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ThinScrollBars::apply(*scroller, QColor(90, 50, 30, 90));
    return scroller;
}

bool EditPhotoView::isRendering() const
{
    return m_runner->isBusy();
}

void EditPhotoView::setAdjustments(const PhotoAdjustments& a)
{
    if (a == m_adjustments) return;
    m_adjustments = a;
    const auto rows = AdjustmentRows::all();
    for (qsizetype i = 0; i < m_rows.size(); ++i)
        m_rows[i]->setValue(a.*rows[size_t(i)].field);
    setPrimaryAllowed(a != PhotoAdjustments{});
    rerender();
}

// Every change renders; the runner delivers only the newest request's picture.
void EditPhotoView::rerender()
{
    if (m_source->preview().isNull()) return;
    m_runner->request([preview = m_source->preview(), a = m_adjustments, render = m_renderer] {
        return render(preview, a);
    });
}

void EditPhotoView::setShowOriginal(bool showOriginal)
{
    m_showOriginal = showOriginal;
    showImage();
}

void EditPhotoView::showImage()
{
    m_stage->setImage(m_showOriginal || m_rendered.isNull() ? m_source->preview() : m_rendered);
}

void EditPhotoView::apply()
{
    const PhotoAdjustments a = m_adjustments;
    context().run(QStringLiteral("Editing photo"), std::nullopt,
                  [a](const QString& file, Job& job, const Progress& progress) {
                      return EditPhoto::editFile(file, a, job, progress);
                  });
}
