#include "tools/audio/channels/audiochannelsview.h"

#include "toolkit/audioplayback.h"
#include "toolkit/audiosource.h"
#include "toolkit/layouts.h"
#include "toolkit/secondarybutton.h"
#include "toolkit/segmented.h"
#include "toolkit/sliderrow.h"
#include "toolkit/textlabel.h"
#include "toolkit/theme.h"
#include "toolkit/waveformview.h"
#include "tools/audio/channels/audiochannelswork.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPointer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace {

SliderRow* gainSlider()
{
    const auto percent = [](double v) { return QString::number(std::trunc(v), 'f', 0) + QLatin1Char('%'); };
    auto* slider = new SliderRow({.lo = 0, .hi = 150, .step = 1, .defaultValue = 100, .format = percent});
    slider->setValue(100);
    return slider;
}

// The light rounded card a preview waveform sits on.
class WaveCard : public QWidget
{
  public:
    explicit WaveCard(WaveformView* wave)
    {
        setFixedHeight(44);
        auto* layout = new QHBoxLayout(this);
        layout->setContentsMargins(8, 0, 8, 0);
        layout->addWidget(wave);
    }

  protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor::fromRgbF(1, 1, 1, 0.25f));
        painter.drawRoundedRect(QRectF(rect()), 9, 9);
    }
};

} // namespace

AudioChannelsView::AudioChannelsView(std::shared_ptr<ToolContext> context, QWidget* parent)
    : ToolView(std::move(context), parent),
      m_source(new AudioSource(this->context().urls().value(0), buckets, this)),
      m_playback(new AudioPlayback(this)), m_left(gainSlider()), m_right(gainSlider())
{
    addSource(m_source);
    column()->setSpacing(14);
    column()->addWidget(
        new TextLabel(QStringLiteral("Output channel preview"), 12.5, QFont::Normal, Theme::ink()));
    auto* rows = new QWidget;
    auto* rowsLayout = new QVBoxLayout(rows);
    rowsLayout->setContentsMargins(0, 0, 0, 0);
    rowsLayout->setSpacing(8);
    rowsLayout->addWidget(channelRow());
    rowsLayout->addWidget(channelRow());
    column()->addWidget(rows);
    column()->addWidget(layoutRow());
    column()->addWidget(m_left);
    column()->addWidget(m_right);
    column()->addWidget(playRow());
    column()->addStretch(1);
    primary(QStringLiteral("Apply"));

    connect(m_source, &AudioSource::loaded, this, &AudioChannelsView::refresh);
    connect(this, &FramedView::closed, m_playback, &AudioPlayback::stop);
    connect(m_layout, &Segmented::edited, this, [this](int i) {
        m_stereo = i == 1;
        refresh();
    });
    connect(m_left, &SliderRow::edited, this, &AudioChannelsView::refresh);
    connect(m_right, &SliderRow::edited, this, &AudioChannelsView::refresh);
    connect(m_play, &SecondaryButton::clicked, this, &AudioChannelsView::togglePlay);
    connect(m_playback, &AudioPlayback::playingChanged, this, &AudioChannelsView::refresh);
    refresh();
}

QWidget* AudioChannelsView::channelRow()
{
    auto* owner = new QWidget;
    QHBoxLayout* layout = Layouts::row(owner, 10);
    auto* label = new TextLabel(QString(), 11, QFont::DemiBold, Theme::inkSoft());
    label->setFixedWidth(34);
    QColor colour = Theme::inkSoft();
    colour.setAlphaF(0.75f);
    auto* wave = new WaveformView(colour);
    layout->addWidget(label);
    layout->addWidget(new WaveCard(wave), 1);
    m_rows << owner;
    m_rowLabels << label;
    m_rowWaves << wave;
    return owner;
}

QWidget* AudioChannelsView::layoutRow()
{
    auto* owner = new QWidget;
    QHBoxLayout* layout = Layouts::row(owner, 10);
    m_sourceText = new TextLabel(QString(), 12, QFont::Normal, Theme::inkSoft());
    m_layout = new Segmented({QStringLiteral("Mono"), QStringLiteral("Stereo")});
    layout->addWidget(m_sourceText);
    layout->addStretch(1);
    layout->addWidget(m_layout);
    return owner;
}

QWidget* AudioChannelsView::playRow()
{
    auto* owner = new QWidget;
    QHBoxLayout* layout = Layouts::row(owner, 10);
    m_error = new TextLabel(QString(), 11, QFont::Normal, Qt::red);
    m_error->setWordWrap(true);
    m_error->setMaximumHeight(m_error->fontMetrics().lineSpacing() * 2 + 2);
    m_play = new SecondaryButton(QString());
    layout->addWidget(m_error, 1);
    layout->addWidget(m_play);
    return owner;
}

QList<float> AudioChannelsView::scaled(const QList<float>& samples, double gain)
{
    QList<float> out;
    out.reserve(samples.size());
    for (const float s : samples)
        out << std::min(float(double(s) * gain / 100), 1.0f);
    return out;
}

QString AudioChannelsView::filter() const
{
    return ToolOps::channelFilter(m_stereo, m_source->probe().channels, m_left->value(), m_right->value());
}

void AudioChannelsView::togglePlay()
{
    if (m_playback->isPlaying()) {
        m_playback->stop();
        return;
    }
    const QPointer<QLabel> error = m_error;
    m_playback->playRendered(m_source->path(), {QStringLiteral("-af"), filter()}, previewSeconds,
                             [error](const QString& message) {
                                 if (error) error->setText(message);
                             });
}

void AudioChannelsView::refresh()
{
    const double left = m_left->value(), right = m_right->value();
    const QList<float> samples = WaveformView::fitted(m_source->samples());
    m_layout->setSelected(m_stereo ? 1 : 0);
    m_rowLabels[0]->setText(m_stereo ? QStringLiteral("L") : QStringLiteral("Mono"));
    m_rowWaves[0]->setSamples(scaled(samples, m_stereo ? left : (left + right) / 2));
    m_rowLabels[1]->setText(QStringLiteral("R"));
    m_rowWaves[1]->setSamples(scaled(samples, right));
    m_rows[1]->setVisible(m_stereo);
    m_left->setLabel(m_stereo ? QStringLiteral("Left") : QStringLiteral("Left in"));
    m_right->setLabel(m_stereo ? QStringLiteral("Right") : QStringLiteral("Right in"));
    m_sourceText->setText(m_source->probe().channels < 2 ? QStringLiteral("Source: mono")
                                                         : QStringLiteral("Source: stereo"));
    if (m_playback->isPlaying())
        m_play->setContent(QStringLiteral("Stop"), QStringLiteral("stop.fill"));
    else
        m_play->setContent(QStringLiteral("Play Output"), QStringLiteral("play.fill"));
}

void AudioChannelsView::apply()
{
    m_playback->stop();
    const bool stereo = m_stereo;
    const double left = m_left->value(), right = m_right->value();
    context().run(QStringLiteral("Converting channels"), std::nullopt,
                  [stereo, left, right](const QString& file, Job& job, const Progress& progress) {
                      return ToolOps::channels(file, stereo, left, right, job, progress);
                  });
}
