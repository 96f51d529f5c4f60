#pragma once

#include "core/redactstyle.h"
#include "toolkit/toolview.h"
#include "tools/image/redact/redactdetector.h"

#include <QList>
#include <QRectF>

class ImageSource;
class LoadingView;
class QLabel;
class RedactStage;
class SecondaryButton;
class Segmented;

// The Redact Photo window: boxes drawn by hand or found (faces, text) over the first dropped
// picture, in unit space so that they fit every dropped picture; the style they are hidden in;
// Save covers them in a copy of each picture that carries none of its properties.
class RedactImageView : public ToolView
{
    Q_OBJECT
  public:
    static constexpr double previewSize = 1600;

    explicit RedactImageView(std::shared_ptr<ToolContext> context, QWidget* parent = nullptr);

    const QList<QRectF>& boxes() const { return m_boxes; }
    RedactStyle style() const { return m_style; }
    bool isDetecting() const { return m_detecting; }
    QString note() const;
    const ImageSource& source() const { return *m_source; }
    RedactStage* stage() const { return m_stage; }
    Segmented* styles() const { return m_styles; }
    SecondaryButton* findFaces() const { return m_faces; }
    SecondaryButton* findText() const { return m_text; }
    SecondaryButton* clearButton() const { return m_clear; }

    // The searches behind Find Faces and Find Text; the standard ones unless a test gives others.
    void setDetector(RedactDetector detector) { m_detector = std::move(detector); }
    // Searches the full picture for faces or for text on the loader pool and adds what it finds;
    // nothing before the picture has loaded or while a search runs.
    void detect(bool faces);

  protected:
    void apply() override;

  private:
    QWidget* toolRow();
    void setBoxes(const QList<QRectF>& boxes);
    void setDetecting(bool detecting);
    void enableSearches();

    ImageSource* m_source;
    RedactDetector m_detector = RedactDetector::standard();
    QList<QRectF> m_boxes;
    RedactStyle m_style = RedactStyle::black;
    bool m_detecting = false;
    RedactStage* m_stage;
    QLabel* m_note;
    SecondaryButton* m_faces = nullptr;
    SecondaryButton* m_text = nullptr;
    LoadingView* m_spinner = nullptr;
    Segmented* m_styles = nullptr;
    SecondaryButton* m_clear;
};
