#pragma once

#include "engines/media/toolchoices.h"
#include "toolkit/toolview.h"

#include <QColor>
#include <QImage>
#include <QList>
#include <optional>

class AudioSource;
class ColourDot;
class QLabel;
class SecondaryButton;
class Segmented;
class VisualizerPreview;

// The Audio Visualizer window: a still preview of the first file's sound in the chosen frame
// shape, style, colour and background, and Make Video, which renders every dropped file.
class VisualizerView : public ToolView
{
    Q_OBJECT
  public:
    static constexpr int buckets = 160;

    struct Colour
    {
        QString hex; // given to the operation
        QColor shown;
    };
    static const QList<Colour>& colours();

    explicit VisualizerView(std::shared_ptr<ToolContext> context, QWidget* parent = nullptr);

    VisualShape shape() const { return m_shape; }
    VisualStyle style() const { return m_style; }
    int colourIndex() const { return m_colour; }
    std::optional<QString> background() const { return m_background; }
    // A picture chosen (or none, for black); the preview shows it once read, or stays black
    // when it can't be.
    void setBackground(const std::optional<QString>& path);

    const AudioSource& source() const { return *m_source; }
    VisualizerPreview* preview() const { return m_preview; }
    Segmented* shapes() const { return m_shapes; }
    Segmented* styles() const { return m_styles; }
    const QList<ColourDot*>& dots() const { return m_dots; }
    SecondaryButton* blackButton() const { return m_black; }
    SecondaryButton* imageButton() const { return m_image; }
    QLabel* durationText() const { return m_duration; }

  protected:
    void apply() override;

  private:
    QWidget* choiceRow(const QString& label, QWidget* control);
    QWidget* colourRow();
    QWidget* backgroundRow();
    void pickBackground();
    void refresh();

    AudioSource* m_source;
    VisualShape m_shape = VisualShape::landscape;
    VisualStyle m_style = VisualStyle::wave;
    int m_colour = 0;
    std::optional<QString> m_background;
    QImage m_backgroundPreview;
    VisualizerPreview* m_preview;
    Segmented* m_shapes;
    Segmented* m_styles;
    QList<ColourDot*> m_dots;
    SecondaryButton* m_black = nullptr;
    SecondaryButton* m_image = nullptr;
    QLabel* m_duration;
};
