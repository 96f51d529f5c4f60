#pragma once

#include "toolkit/toolview.h"

class CropModel;
class CropStage;
class ImageSource;
class NumberField;
class QLabel;
class SecondaryButton;
class Segmented;

// The Crop Image window: the first dropped picture with the crop rectangle over it, the aspect
// presets and the size in pixels; Apply crops every dropped picture to the same fractions.
class CropImageView : public ToolView
{
    Q_OBJECT
  public:
    static constexpr double previewSize = 1600;
    static constexpr double minSide = 0.03;

    explicit CropImageView(std::shared_ptr<ToolContext> context, QWidget* parent = nullptr);

    CropModel& model() const { return *m_model; }
    const ImageSource& source() const { return *m_source; }
    CropStage* stage() const { return m_stage; }
    Segmented* aspects() const { return m_aspects; }
    NumberField* widthField() const { return m_width; }
    NumberField* heightField() const { return m_height; }
    // None for a single file.
    QLabel* countText() const { return m_count; }
    SecondaryButton* resetButton() const { return m_reset; }

  protected:
    void apply() override;

  private:
    QWidget* aspectRow();
    QWidget* sizeRow();
    QSize fullSize() const;
    void loaded();
    void showRect();
    void showAspect();

    ImageSource* m_source;
    CropModel* m_model;
    CropStage* m_stage;
    Segmented* m_aspects = nullptr;
    NumberField* m_width = nullptr;
    NumberField* m_height = nullptr;
    QLabel* m_count = nullptr;
    SecondaryButton* m_reset;
};
