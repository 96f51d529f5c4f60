#pragma once

#include "toolkit/toolview.h"

#include <QColor>
#include <QList>

class AnnotateCanvas;
class AnnotateModel;
class ImageSource;
class KindButton;
class PaletteButton;
class SecondaryButton;
class Segmented;

// The Annotate Photo window: the first dropped picture to draw arrows, shapes, strokes, text and
// numbered badges on, with the kinds, colours and weights above it and undo, redo and clear
// below; saving draws the same marks over every dropped picture at full size.
class AnnotateView : public ToolView
{
    Q_OBJECT
  public:
    static constexpr double previewSize = 1600;
    // Offered in this order, labelled "S", "M", "L".
    static const QList<double>& weights();
    static const QList<QColor>& palette();

    explicit AnnotateView(std::shared_ptr<ToolContext> context, QWidget* parent = nullptr);

    AnnotateModel& model() const { return *m_model; }
    const ImageSource& source() const { return *m_source; }
    AnnotateCanvas* canvas() const { return m_canvas; }
    const QList<KindButton*>& kindButtons() const { return m_kinds; }
    const QList<PaletteButton*>& paletteButtons() const { return m_colors; }
    Segmented* weightControl() const { return m_weight; }
    SecondaryButton* undoButton() const { return m_undo; }
    SecondaryButton* redoButton() const { return m_redo; }
    SecondaryButton* clearButton() const { return m_clear; }

  protected:
    void apply() override;

  private:
    QWidget* toolbar();
    QWidget* kindGroup();
    void showTool();
    void showMarks();

    ImageSource* m_source;
    AnnotateModel* m_model;
    AnnotateCanvas* m_canvas;
    QList<KindButton*> m_kinds;
    QList<PaletteButton*> m_colors;
    Segmented* m_weight = nullptr;
    SecondaryButton* m_undo;
    SecondaryButton* m_redo;
    SecondaryButton* m_clear;
};
