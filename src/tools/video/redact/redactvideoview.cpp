#include "tools/video/redact/redactvideoview.h"

#include "core/fmt.h"
#include "toolkit/secondarybutton.h"
#include "toolkit/segmented.h"
#include "toolkit/textlabel.h"
#include "toolkit/theme.h"
#include "toolkit/video/timeline.h"
#include "toolkit/video/videomodel.h"
#include "tools/video/redact/redactvideostage.h"
#include "tools/video/redact/redactvideowork.h"

#include <QHBoxLayout>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace {

// The window shows stills grabbed by ffmpeg and never plays.
VideoModel::Backend withoutPlayer(VideoModel::Backend backend)
{
    backend.player = nullptr;
    return backend;
}

} // namespace

RedactVideoView::RedactVideoView(std::shared_ptr<ToolContext> context, QWidget* parent)
    : ToolView(std::move(context), parent),
      m_model(new VideoModel(this->context().urls().value(0), withoutPlayer(VideoModel::Backend::standard()),
                             this)),
      m_stage(new RedactVideoStage), m_timeline(new Timeline(*m_model)),
      m_extent(new Segmented({QStringLiteral("Whole video"), QStringLiteral("Part of it")})),
      m_styles(new Segmented({QStringLiteral("Blur"), QStringLiteral("Pixelate"), QStringLiteral("Black")})),
      m_status(new TextLabel(QString(), 12, QFont::Normal, Theme::inkSoft())),
      m_clear(new SecondaryButton(QStringLiteral("Clear")))
{
    addSource(m_model);
    column()->setSpacing(12);
    column()->addWidget(m_stage, 1);
    column()->addWidget(m_timeline);
    column()->addWidget(controlRow());
    m_status->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    column()->addWidget(m_status);
    footer()->addWidget(m_clear);
    primary(QStringLiteral("Save Redacted Copy"));

    m_extent->setSelected(0);
    m_styles->setSelected(int(styles().indexOf(m_style)));
    m_stage->setStyle(m_style);
    connect(m_extent, &Segmented::edited, this, [this](int i) {
        m_extent->setSelected(i);
        m_wholeVideo = i == 0;
        refresh();
    });
    connect(m_styles, &Segmented::edited, this, [this](int i) {
        m_styles->setSelected(i);
        m_style = styles().value(i, RedactStyle::blur);
        m_stage->setStyle(m_style);
    });
    connect(m_stage, &RedactVideoStage::drawn, this, [this](const QRectF& box) { setBoxes(m_boxes << box); });
    connect(m_stage, &RedactVideoStage::clicked, this, [this](int i) {
        QList<QRectF> boxes = m_boxes;
        boxes.removeAt(i);
        setBoxes(boxes);
    });
    connect(m_clear, &SecondaryButton::clicked, this, [this] { setBoxes({}); });
    connect(m_timeline, &Timeline::rangeEdited, this, &RedactVideoView::setRange);
    connect(m_model, &VideoModel::pictureChanged, this, [this] { m_stage->setFrame(m_model->still()); });
    // Queued: the model asks for its own first still while it publishes the length, and only
    // the newest request is shown.
    connect(m_model, &VideoModel::durationChanged, this, &RedactVideoView::durationKnown,
            Qt::QueuedConnection);
    connect(this, &FramedView::closed, m_model, &VideoModel::pause);
    refresh();
}

const QList<RedactStyle>& RedactVideoView::styles()
{
    static const QList<RedactStyle> offered{RedactStyle::blur, RedactStyle::pixelate, RedactStyle::black};
    return offered;
}

double RedactVideoView::firstFrameTime(double duration)
{
    return std::min(duration / 3, 1.0);
}

QString RedactVideoView::status(qsizetype count, bool wholeVideo, const TimeRange& range)
{
    if (count == 0) return QStringLiteral("Drag over the frame to cover an area. Click a box to remove it.");
    const QString when =
        wholeVideo
            ? QStringLiteral(" for the whole video")
            : QStringLiteral(" from %1 to %2").arg(Fmt::time(range.start, true), Fmt::time(range.end, true));
    return QStringLiteral("%1 area%2 covered%3.")
        .arg(count)
        .arg(count == 1 ? QString() : QStringLiteral("s"), when);
}

QWidget* RedactVideoView::controlRow()
{
    auto* owner = new QWidget;
    auto* row = new QHBoxLayout(owner);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(m_extent);
    row->addStretch(1);
    row->addWidget(m_styles);
    return owner;
}

void RedactVideoView::setRange(const TimeRange& range)
{
    m_range = range;
    refresh();
}

void RedactVideoView::setBoxes(const QList<QRectF>& boxes)
{
    m_boxes = boxes;
    m_stage->setBoxes(boxes);
    refresh();
}

void RedactVideoView::durationKnown()
{
    const double d = m_model->duration();
    setRange({0, d});
    if (d > 0) m_model->seek(firstFrameTime(d));
}

void RedactVideoView::refresh()
{
    m_timeline->setRange(m_wholeVideo ? std::nullopt : std::optional<TimeRange>(m_range));
    m_status->setText(status(m_boxes.size(), m_wholeVideo, m_range));
    m_clear->setEnabled(!m_boxes.isEmpty());
    setPrimaryAllowed(!m_boxes.isEmpty());
}

void RedactVideoView::apply()
{
    m_model->pause();
    const QList<QRectF> boxes = m_boxes;
    const RedactStyle style = m_style;
    const std::optional<TimeRange> range = m_wholeVideo ? std::nullopt : std::optional<TimeRange>(m_range);
    context().run(QStringLiteral("Redacting video"), std::nullopt,
                  [boxes, style, range](const QString& file, Job& job, const Progress& progress) {
                      return ToolOps::redactVideo(file, boxes, style, range, job, progress);
                  });
}
