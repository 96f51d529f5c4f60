#pragma once

#include "toolkit/toolview.h"

#include <QList>

class AudioPlayback;
class AudioSource;
class QLabel;
class SecondaryButton;
class Segmented;
class SliderRow;
class WaveformView;

// The Convert Audio Channels window: mono or stereo output with a gain per side, the output's
// channels previewed as waveforms, and a player of the first 30 s of the result; Apply mixes
// every dropped file, each by its own channel count.
class AudioChannelsView : public ToolView
{
    Q_OBJECT
  public:
    static constexpr int buckets = 220;
    static constexpr double previewSeconds = 30;

    explicit AudioChannelsView(std::shared_ptr<ToolContext> context, QWidget* parent = nullptr);

    // The preview of a channel at `gain` percent: each peak scaled, at most 1.
    static QList<float> scaled(const QList<float>& samples, double gain);
    // The first file's mix as chosen.
    QString filter() const;

    const AudioSource& source() const { return *m_source; }
    AudioPlayback& playback() const { return *m_playback; }
    bool isStereo() const { return m_stereo; }
    Segmented* layoutChoice() const { return m_layout; }
    SliderRow* leftSlider() const { return m_left; }
    SliderRow* rightSlider() const { return m_right; }
    // The preview rows' labels and waveforms; the second row is hidden for mono.
    QLabel* rowLabel(int i) const { return m_rowLabels.value(i); }
    WaveformView* rowWave(int i) const { return m_rowWaves.value(i); }
    QWidget* rowWidget(int i) const { return m_rows.value(i); }
    QLabel* sourceText() const { return m_sourceText; }
    QLabel* errorText() const { return m_error; }
    SecondaryButton* playButton() const { return m_play; }

  protected:
    void apply() override;

  private:
    QWidget* channelRow();
    QWidget* layoutRow();
    QWidget* playRow();
    void togglePlay();
    void refresh();

    AudioSource* m_source;
    AudioPlayback* m_playback;
    bool m_stereo = false;
    QList<QWidget*> m_rows;
    QList<QLabel*> m_rowLabels;
    QList<WaveformView*> m_rowWaves;
    QLabel* m_sourceText = nullptr;
    Segmented* m_layout = nullptr;
    SliderRow* m_left;
    SliderRow* m_right;
    QLabel* m_error = nullptr;
    SecondaryButton* m_play = nullptr;
};
