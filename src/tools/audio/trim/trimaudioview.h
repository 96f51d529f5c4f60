#pragma once

#include "toolkit/toolview.h"

class AudioPlayback;
class AudioSource;
class Checkbox;
class LoadingView;
class QLabel;
class RangeWaveform;
class SecondaryButton;

// The Trim Audio window: the first file's waveform with a start and an end handle, the
// selection's length, a check box that cuts the silent ends, and a player of the selection;
// Apply cuts every dropped file to the same times.
class TrimAudioView : public ToolView
{
    Q_OBJECT
  public:
    static constexpr int buckets = 420;
    static constexpr float silence = 0.04f;

    explicit TrimAudioView(std::shared_ptr<ToolContext> context, QWidget* parent = nullptr);

    const AudioSource& source() const { return *m_source; }
    AudioPlayback& playback() const { return *m_playback; }
    double start() const { return m_start; }
    double end() const { return m_end; }
    void setRange(double start, double end);
    RangeWaveform* waveform() const { return m_waveform; }
    Checkbox* autoTrim() const { return m_autoTrim; }
    SecondaryButton* playButton() const { return m_play; }
    QLabel* selectedText() const { return m_selected; }

  protected:
    void apply() override;

  private:
    QWidget* waveArea();
    void loaded();
    void autoTrimToggled(bool on);
    void togglePlay();
    void refresh();

    AudioSource* m_source;
    AudioPlayback* m_playback;
    double m_start = 0;
    double m_end = 0;
    RangeWaveform* m_waveform;
    LoadingView* m_loading;
    Checkbox* m_autoTrim;
    SecondaryButton* m_play;
    QLabel* m_selected;
    QLabel* m_startText;
    QLabel* m_endText;
};
