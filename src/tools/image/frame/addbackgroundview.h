#pragma once

#include "toolkit/toolview.h"
#include "tools/image/frame/framesettings.h"

#include <QImage>
#include <functional>

class BackdropTile;
class FirstPreview;
class ImageSource;
class PreviewPane;
class PreviewRunner;
class SecondaryButton;
class Segmented;
class SliderRow;
class Swatch;

// The Add Background window: the first dropped picture on its new backdrop, rendered live as
// the backdrop, padding, corners, shadow and ratio change; saving frames every dropped picture
// with the same settings into a "With Background" PNG.
class AddBackgroundView : public ToolView
{
    Q_OBJECT
  public:
    static constexpr double previewSize = 900;
    static constexpr double backgroundPreviewSize = 1200;
    // Asks for a background picture; empty when the user cancels.
    using Picker = std::function<QString(QWidget* parent)>;

    explicit AddBackgroundView(std::shared_ptr<ToolContext> context, QWidget* parent = nullptr);

    const FrameSettings& settings() const { return m_settings; }
    // Shows `settings` and renders again when they differ from the current ones.
    void setSettings(const FrameSettings& settings);
    const ImageSource& source() const { return *m_source; }
    const QImage& background() const { return m_background; }
    QColor customColour() const { return m_customColour; }
    // The colour well's choice: the backdrop becomes that colour.
    void setCustomColour(const QColor& colour);
    // Opens the picker; a picture chosen is decoded on the loader pool and becomes the backdrop.
    // A cancelled picker or a picture that can't be read changes nothing.
    void pickImage();
    void setPicker(Picker picker) { m_picker = std::move(picker); }

    PreviewPane* pane() const { return m_pane; }
    const QList<Swatch*>& gradientSwatches() const { return m_gradients; }
    const QList<Swatch*>& solidSwatches() const { return m_solids; }
    BackdropTile* pictureTile() const { return m_pictureTile; }
    SliderRow* paddingRow() const { return m_padding; }
    SliderRow* cornersRow() const { return m_corners; }
    SliderRow* shadowRow() const { return m_shadow; }
    Segmented* ratios() const { return m_ratios; }
    SecondaryButton* resetButton() const { return m_reset; }

    // The sliders' texts, in pixels of a picture whose sides are `longSide` and `shortSide`.
    static QString paddingText(double padding, double longSide);
    static QString cornersText(double corners, double shortSide);
    static QString shadowText(double shadow, double longSide);

  protected:
    void apply() override;

  private:
    QWidget* backdropRow();
    QWidget* ratioRow();
    // The full picture's longer and shorter sides, 1000 both while it loads.
    QSizeF sides() const;
    void showSettings();
    void rerender();

    ImageSource* m_source;
    FrameSettings m_settings;
    QImage m_background;
    QColor m_customColour;
    Picker m_picker;
    PreviewRunner* m_runner;
    FirstPreview* m_first;
    PreviewPane* m_pane;
    QList<Swatch*> m_gradients;
    QList<Swatch*> m_solids;
    BackdropTile* m_pictureTile = nullptr;
    BackdropTile* m_well = nullptr;
    SliderRow* m_padding;
    SliderRow* m_corners;
    SliderRow* m_shadow;
    Segmented* m_ratios = nullptr;
    SecondaryButton* m_reset;
};
