#pragma once

#include "toolkit/toolview.h"
#include "tools/audio/bleep/bleeplanemodel.h"

class AudioPlayback;
class AudioSource;
class BleepLane;
class BleepWaveArea;
class QLabel;
class SecondaryButton;

// The Bleep Audio window: bleeps drawn on a lane over the first file's waveform, selected,
// resized and removed; the file heard as it is or with the bleeps; and a bleeped copy of every
// dropped file saved with the same bleeps.
class BleepAudioView : public ToolView
{
    Q_OBJECT
  public:
    static constexpr int buckets = 500;

    explicit BleepAudioView(std::shared_ptr<ToolContext> context, QWidget* parent = nullptr);

    BleepLaneModel& model() { return m_model; }
    const AudioSource& source() const { return *m_source; }
    AudioPlayback& playback() const { return *m_playback; }
    BleepLane* lane() const { return m_lane; }
    BleepWaveArea* waveArea() const { return m_wave; }
    QLabel* countText() const { return m_count; }
    QLabel* statusText() const { return m_status; }
    QLabel* errorText() const { return m_error; }
    QLabel* lengthText() const { return m_length; }
    SecondaryButton* removeButton() const { return m_remove; }
    SecondaryButton* originalButton() const { return m_original; }
    SecondaryButton* bleepedButton() const { return m_bleeped; }
    // Shows the model as it now is.
    void refresh();

  protected:
    void apply() override;

  private:
    QWidget* headerRow();
    QWidget* labelled(const QString& label, QWidget* content);
    QWidget* timeRow();
    QWidget* previewRow();
    void loaded();
    void playOriginal();
    void playBleeped();

    BleepLaneModel m_model;
    AudioSource* m_source;
    AudioPlayback* m_playback;
    BleepLane* m_lane;
    BleepWaveArea* m_wave;
    QLabel* m_count = nullptr;
    QLabel* m_status;
    QLabel* m_error = nullptr;
    QLabel* m_length = nullptr;
    SecondaryButton* m_remove = nullptr;
    SecondaryButton* m_original = nullptr;
    SecondaryButton* m_bleeped = nullptr;
};
