#pragma once

#include "toolkit/toolview.h"
#include "tools/image/collage/collagesettings.h"

class CollageThumbs;
class FirstPreview;
class PreviewPane;
class PreviewRunner;
class Segmented;
class SliderRow;
class Swatch;
class ThumbStrip;

// The Create Collage window: a live preview of the dropped pictures laid out together, their
// order as movable tiles, the layout, gap, corners, background and output width; saving makes
// one PNG named after the first picture in the order.
class CollageView : public ToolView
{
    Q_OBJECT
  public:
    static constexpr double previewWidth = 1100;
    static inline const QList<double> widths{1600, 2400, 3600};

    explicit CollageView(std::shared_ptr<ToolContext> context, QWidget* parent = nullptr);

    const QStringList& order() const { return m_order; }
    // Trades the files at positions `a` and `b` when both exist, and renders again.
    void swap(int a, int b);
    const CollageSettings& settings() const { return m_settings; }
    void setSettings(const CollageSettings& settings);

    PreviewPane* pane() const { return m_pane; }
    ThumbStrip* strip() const { return m_strip; }
    Segmented* layouts() const { return m_layouts; }
    SliderRow* spacingRow() const { return m_spacing; }
    SliderRow* cornersRow() const { return m_corners; }
    const QList<Swatch*>& swatches() const { return m_swatches; }
    Segmented* widthChoice() const { return m_widths; }

    // "36 px": the gap in pixels of an output `width` wide.
    static QString spacingText(double spacing, double width);
    // "2%": the corners in whole per cent, cut down.
    static QString cornersText(double corners);

  protected:
    void apply() override;

  private:
    QWidget* layoutRow();
    QWidget* backgroundRow();
    QWidget* widthRow();
    void showSettings();
    void showThumbs();
    void rerender();

    QStringList m_order;
    CollageSettings m_settings;
    CollageThumbs* m_thumbs;
    PreviewRunner* m_runner;
    FirstPreview* m_first;
    PreviewPane* m_pane;
    ThumbStrip* m_strip;
    Segmented* m_layouts = nullptr;
    SliderRow* m_spacing;
    SliderRow* m_corners;
    QList<Swatch*> m_swatches;
    Segmented* m_widths = nullptr;
};
