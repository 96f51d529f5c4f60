#include "tools/video/speed/speedview.h"

#include "toolkit/checkbox.h"
#include "toolkit/secondarybutton.h"
#include "toolkit/segmented.h"
#include "toolkit/textlabel.h"
#include "toolkit/theme.h"
#include "toolkit/video/timeline.h"
#include "toolkit/video/transportbar.h"
#include "toolkit/video/videomodel.h"
#include "toolkit/video/videopreview.h"
#include "tools/video/speed/speedlabels.h"
#include "tools/video/speed/speedpreview.h"
#include "tools/video/speed/speedwork.h"

#include <QHBoxLayout>

SpeedView::SpeedView(std::shared_ptr<ToolContext> context, QWidget* parent)
    : SpeedView(std::move(context), VideoModel::Backend::standard(), parent)
{
}

SpeedView::SpeedView(std::shared_ptr<ToolContext> context, VideoModel::Backend backend, QWidget* parent)
    : ToolView(std::move(context), QStringLiteral("Change Speed"), parent),
      m_model(new VideoModel(this->context().urls().value(0), std::move(backend), this)),
      m_speeds(new Segmented), m_pitch(new Checkbox(QStringLiteral("Keep the audio’s pitch"))),
      m_length(new TextLabel(QString(), 12, QFont::Normal, Theme::inkSoft())),
      m_previewButton(new SecondaryButton(QString(), QStringLiteral("play.fill"))),
      m_preview(new SpeedPreview(*m_model, this)),
      m_error(new TextLabel(QString(), 11, QFont::Normal, Qt::red))
{
    addSource(m_model);
    QStringList labels;
    for (double s : SpeedLabels::offered())
        labels << SpeedLabels::label(s);
    m_speeds->setOptions(labels);
    m_pitch->setChecked(true);

    column()->setSpacing(12);
    column()->addWidget(new VideoPreview(*m_model), 1);
    column()->addWidget(new Timeline(*m_model));
    auto* playRow = new QHBoxLayout;
    playRow->addWidget(new TransportBar(*m_model));
    playRow->addStretch(1);
    playRow->addWidget(m_previewButton);
    column()->addLayout(playRow);
    column()->addWidget(m_speeds, 0, Qt::AlignHCenter);
    column()->addWidget(m_pitch, 0, Qt::AlignLeft);
    column()->addWidget(m_length);
    m_error->setWordWrap(true);
    footer()->addWidget(m_error, 1);
    primary(QStringLiteral("Save at 2x"));

    connect(m_speeds, &Segmented::edited, this, [this](int i) {
        m_speed = SpeedLabels::offered().value(i, m_speed);
        refresh();
    });
    connect(m_model, &VideoModel::durationChanged, this, &SpeedView::refresh);
    connect(m_model, &VideoModel::playerChanged, this, &SpeedView::refresh);
    connect(m_previewButton, &QAbstractButton::clicked, this, [this] {
        m_error->clear();
        m_preview->request(m_speed, m_pitch->isChecked());
    });
    connect(m_preview, &SpeedPreview::failed, m_error, &QLabel::setText);
    connect(this, &FramedView::closed, this, [this] {
        m_preview->stop();
        m_model->pause();
    });
    refresh();
}

void SpeedView::refresh()
{
    m_speeds->setSelected(int(SpeedLabels::offered().indexOf(m_speed)));
    m_length->setText(SpeedLabels::newLength(m_model->duration(), m_speed));
    m_previewButton->setContent(QStringLiteral("Preview at ") + SpeedLabels::label(m_speed),
                                QStringLiteral("play.fill"));
    m_previewButton->setEnabled(m_model->hasPlayer() && m_model->duration() > 0);
    primary(QStringLiteral("Save at ") + SpeedLabels::label(m_speed));
    setPrimaryAllowed(m_model->duration() > 0);
}

void SpeedView::apply()
{
    m_preview->stop();
    m_model->pause();
    const double speed = m_speed;
    const bool keepPitch = m_pitch->isChecked();
    const QString label = SpeedLabels::label(speed);
    context().run(
        QStringLiteral("Changing speed"), std::nullopt,
        [speed, keepPitch, label](const QString& file, Job& job, const Progress& progress) {
            return ToolOps::speed(file, speed, keepPitch, label, job, progress);
        },
        Jobs::Order::oneAfterAnother);
}
