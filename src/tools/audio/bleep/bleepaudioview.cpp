#include "tools/audio/bleep/bleepaudioview.h"

#include "core/fmt.h"
#include "toolkit/audioplayback.h"
#include "toolkit/audiosource.h"
#include "toolkit/layouts.h"
#include "toolkit/primarybutton.h"
#include "toolkit/secondarybutton.h"
#include "toolkit/textlabel.h"
#include "toolkit/theme.h"
#include "toolkit/waveformview.h"
#include "tools/audio/bleep/bleeplane.h"
#include "tools/audio/bleep/bleepwavearea.h"
#include "tools/audio/bleep/bleepwork.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QPointer>
#include <QVBoxLayout>

namespace {

// A hairline across the body.
QWidget* divider()
{
    auto* line = new QFrame;
    line->setFixedHeight(1);
    line->setAutoFillBackground(true);
    QPalette p = line->palette();
    QColor c = Theme::ink();
    c.setAlphaF(0.1f);
    p.setColor(QPalette::Window, c);
    line->setPalette(p);
    return line;
}

} // namespace

BleepAudioView::BleepAudioView(std::shared_ptr<ToolContext> context, QWidget* parent)
    : ToolView(std::move(context), parent),
      m_source(new AudioSource(this->context().urls().value(0), buckets, this)),
      m_playback(new AudioPlayback(this)), m_lane(new BleepLane(m_model)), m_wave(new BleepWaveArea(m_model)),
      m_status(new TextLabel(QString(), 12, QFont::Normal, Theme::inkSoft()))
{
    addSource(m_source);
    column()->setSpacing(10);
    column()->addWidget(headerRow());
    column()->addWidget(labelled(QStringLiteral("Bleep"), m_lane));
    column()->addWidget(labelled(QStringLiteral("Audio"), m_wave));
    column()->addWidget(timeRow());
    auto* hint = new TextLabel(QStringLiteral("Drag across the Bleep lane to add a bleep. Click one to "
                                              "select it, or drag its edge to adjust it."),
                               12, QFont::Normal, Theme::inkSoft());
    hint->setWordWrap(true);
    column()->addWidget(hint);
    column()->addWidget(divider());
    column()->addWidget(previewRow());
    column()->addStretch(1);
    footer()->addWidget(m_status);
    primary(QStringLiteral("Save Bleeped Copy"));

    connect(m_source, &AudioSource::loaded, this, &BleepAudioView::loaded);
    connect(this, &FramedView::settled, this, &BleepAudioView::refresh);
    connect(this, &FramedView::closed, m_playback, &AudioPlayback::stop);
    connect(m_lane, &BleepLane::edited, this, &BleepAudioView::refresh);
    connect(m_remove, &SecondaryButton::clicked, this, [this] {
        m_model.removeSelected();
        refresh();
    });
    connect(m_original, &SecondaryButton::clicked, this, &BleepAudioView::playOriginal);
    connect(m_bleeped, &SecondaryButton::clicked, this, &BleepAudioView::playBleeped);
    connect(m_playback, &AudioPlayback::playingChanged, this, &BleepAudioView::refresh);
    connect(m_playback, &AudioPlayback::timeChanged, this, &BleepAudioView::refresh);
    refresh();
}

QWidget* BleepAudioView::headerRow()
{
    auto* owner = new QWidget;
    QHBoxLayout* layout = Layouts::row(owner, 8);
    layout->addWidget(new TextLabel(QStringLiteral("Bleeps"), 13, QFont::DemiBold, Theme::section()));
    m_count = new TextLabel(QString(), 13, QFont::Normal, Theme::ink());
    layout->addWidget(m_count);
    layout->addStretch(1);
    m_remove = new SecondaryButton(QStringLiteral("Remove Bleep"), QStringLiteral("minus.circle"));
    layout->addWidget(m_remove);
    owner->setFixedHeight(SecondaryButton::height);
    return owner;
}

QWidget* BleepAudioView::labelled(const QString& label, QWidget* content)
{
    auto* owner = new QWidget;
    QHBoxLayout* layout = Layouts::row(owner, 10);
    auto* text = new TextLabel(label, 12.5, QFont::Medium, Theme::section());
    text->setFixedWidth(46);
    layout->addWidget(text);
    layout->addWidget(content, 1);
    return owner;
}

QWidget* BleepAudioView::timeRow()
{
    auto* owner = new QWidget;
    QHBoxLayout* layout = Layouts::row(owner, 10);
    layout->setContentsMargins(56, 0, 0, 0);
    layout->addWidget(new TextLabel(QStringLiteral("0:00.00"), 11, QFont::Normal, Theme::inkSoft()));
    layout->addStretch(1);
    m_length = new TextLabel(QString(), 11, QFont::Normal, Theme::inkSoft());
    layout->addWidget(m_length);
    return owner;
}

QWidget* BleepAudioView::previewRow()
{
    auto* owner = new QWidget;
    QHBoxLayout* layout = Layouts::row(owner, 10);
    layout->addWidget(new TextLabel(QStringLiteral("Preview"), 12.5, QFont::Normal, Theme::ink()));
    m_error = new TextLabel(QString(), 11, QFont::Normal, Qt::red);
    layout->addWidget(m_error, 1);
    m_original = new SecondaryButton(QStringLiteral("Original"), QStringLiteral("play.fill"));
    m_bleeped = new SecondaryButton(QStringLiteral("With Bleeps"), QStringLiteral("play.fill"));
    layout->addWidget(m_original);
    layout->addWidget(m_bleeped);
    return owner;
}

void BleepAudioView::loaded()
{
    m_model.duration = m_source->duration();
    m_wave->setSamples(WaveformView::fitted(m_source->samples()));
    refresh();
}

void BleepAudioView::playOriginal()
{
    if (m_playback->isPlaying())
        m_playback->stop();
    else
        m_playback->play(m_source->path(), 0, std::nullopt);
}

// The bleeps in the order they were made; the preview covers the file's first minute at most.
void BleepAudioView::playBleeped()
{
    if (m_playback->isPlaying()) {
        m_playback->stop();
        return;
    }
    const QPointer<QLabel> error = m_error;
    m_playback->playRendered(
        m_source->path(),
        Bleeper::filter(m_model.ranges, m_source->probe().channels, m_source->probe().sampleRate),
        m_model.duration, [error](const QString& message) {
            if (error) error->setText(message);
        });
}

void BleepAudioView::refresh()
{
    m_count->setText(QString::number(m_model.ranges.size()));
    m_remove->setVisible(m_model.selected.has_value());
    m_length->setText(Fmt::time(m_model.duration, true));
    m_bleeped->setEnabled(!m_model.ranges.isEmpty());
    m_status->setText(m_model.status());
    m_wave->setPlayhead(m_playback->isPlaying() ? std::optional(m_playback->time()) : std::nullopt);
    m_wave->update();
    m_lane->update();
    if (PrimaryButton* save = primaryButton())
        save->setEnabled(isSettled() && !hasFailedSource() && !m_model.ranges.isEmpty());
}

void BleepAudioView::apply()
{
    m_playback->stop();
    const QList<BleepRange> ranges = m_model.ranges;
    context().run(QStringLiteral("Bleeping audio"), std::nullopt,
                  [ranges](const QString& file, Job& job, const Progress& progress) {
                      return ToolOps::bleep(file, ranges, job, progress);
                  });
}
