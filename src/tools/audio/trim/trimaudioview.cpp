#include "tools/audio/trim/trimaudioview.h"

#include "core/fmt.h"
#include "toolkit/audioplayback.h"
#include "toolkit/audiosource.h"
#include "toolkit/checkbox.h"
#include "toolkit/layouts.h"
#include "toolkit/loadingview.h"
#include "toolkit/primarybutton.h"
#include "toolkit/rangewaveform.h"
#include "toolkit/secondarybutton.h"
#include "toolkit/silence.h"
#include "toolkit/textlabel.h"
#include "toolkit/theme.h"
#include "toolkit/waveformview.h"
#include "tools/audio/trim/trimaudiowork.h"

#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace {

TextLabel* figures(double pixels)
{
    auto* label = new TextLabel(QString(), pixels, QFont::Normal, Theme::ink());
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(qRound(pixels));
    label->setFont(font);
    return label;
}

} // namespace

TrimAudioView::TrimAudioView(std::shared_ptr<ToolContext> context, QWidget* parent)
    : ToolView(std::move(context), parent),
      m_source(new AudioSource(this->context().urls().value(0), buckets, this)),
      m_playback(new AudioPlayback(this)), m_waveform(new RangeWaveform), m_loading(new LoadingView),
      m_autoTrim(new Checkbox(QStringLiteral("Trim silent ends automatically"))),
      m_play(new SecondaryButton(QString())), m_selected(figures(12.5)), m_startText(figures(12)),
      m_endText(figures(12))
{
    addSource(m_source);
    column()->setSpacing(12);

    auto* top = new QWidget;
    QHBoxLayout* topRow = Layouts::row(top, 8);
    topRow->addWidget(
        new TextLabel(QStringLiteral("Drag the ends to trim"), 12.5, QFont::Normal, Theme::ink()));
    topRow->addStretch(1);
    topRow->addWidget(m_selected);
    column()->addWidget(top);
    column()->addWidget(waveArea());

    auto* times = new QWidget;
    QHBoxLayout* timesRow = Layouts::row(times, 8);
    timesRow->addWidget(m_startText);
    timesRow->addStretch(1);
    timesRow->addWidget(m_endText);
    column()->addWidget(times);
    column()->addWidget(m_autoTrim);

    auto* playRow = new QWidget;
    QHBoxLayout* play = Layouts::row(playRow, 8);
    play->addStretch(1);
    play->addWidget(m_play);
    column()->addWidget(playRow);
    column()->addStretch(1);
    primary(QStringLiteral("Apply"));

    connect(m_source, &AudioSource::loaded, this, &TrimAudioView::loaded);
    connect(this, &FramedView::settled, this, &TrimAudioView::refresh);
    connect(this, &FramedView::closed, m_playback, &AudioPlayback::stop);
    connect(m_waveform, &RangeWaveform::edited, this, &TrimAudioView::setRange);
    connect(m_autoTrim, &Checkbox::toggled, this, &TrimAudioView::autoTrimToggled);
    connect(m_play, &SecondaryButton::clicked, this, &TrimAudioView::togglePlay);
    connect(m_playback, &AudioPlayback::playingChanged, this, &TrimAudioView::refresh);
    connect(m_playback, &AudioPlayback::timeChanged, this, &TrimAudioView::refresh);
    refresh();
}

// The waveform with the spinner, or the reason the file could not be read, over it.
QWidget* TrimAudioView::waveArea()
{
    auto* area = new QWidget;
    area->setFixedHeight(130);
    auto* grid = new QGridLayout(area);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(m_waveform, 0, 0);
    grid->addWidget(m_loading, 0, 0);
    return area;
}

void TrimAudioView::setRange(double start, double end)
{
    if (start == m_start && end == m_end) return;
    m_start = start;
    m_end = end;
    refresh();
}

void TrimAudioView::loaded()
{
    m_waveform->setSamples(WaveformView::fitted(m_source->samples()));
    m_waveform->setDuration(m_source->duration());
    m_loading->setError(m_source->error());
    m_loading->setVisible(m_source->error().has_value());
    setRange(m_start, m_source->duration());
}

// Ticked: the audible part of the first file; unticked: all of it, whatever was dragged since.
void TrimAudioView::autoTrimToggled(bool on)
{
    if (!on) {
        setRange(0, m_source->duration());
        return;
    }
    if (const auto range = nonSilentRange(m_source->samples(), m_source->duration(), silence))
        setRange(range->first, range->second);
}

void TrimAudioView::togglePlay()
{
    if (m_playback->isPlaying())
        m_playback->stop();
    else
        m_playback->play(m_source->path(), m_start, m_end);
}

void TrimAudioView::refresh()
{
    m_selected->setText(Fmt::time(m_end - m_start, true) + QStringLiteral(" selected"));
    m_startText->setText(QStringLiteral("Start ") + Fmt::time(m_start, true));
    m_endText->setText(QStringLiteral("End ") + Fmt::time(m_end, true));
    m_waveform->setRange(m_start, m_end);
    const bool playing = m_playback->isPlaying();
    m_waveform->setPlayhead(playing ? std::optional(m_playback->time()) : std::nullopt);
    if (playing)
        m_play->setContent(QStringLiteral("Stop"), QStringLiteral("stop.fill"));
    else
        m_play->setContent(QStringLiteral("Play Selected Range"), QStringLiteral("play.fill"));
    if (PrimaryButton* apply = primaryButton())
        apply->setEnabled(isSettled() && !hasFailedSource() && m_start < m_end);
}

void TrimAudioView::apply()
{
    m_playback->stop();
    const double from = m_start, to = m_end;
    context().run(QStringLiteral("Trimming audio"), std::nullopt,
                  [from, to](const QString& file, Job& job, const Progress& progress) {
                      return ToolOps::trimAudio(file, from, to, job, progress);
                  });
}
