#pragma once

#include "toolkit/toolview.h"
#include "tools/file/compress/compresswork.h"

#include <atomic>
#include <memory>

class Checkbox;
class PreviewRunner;
class QLabel;
class QVBoxLayout;
class Segmented;
class SliderRow;
class EstimateSource;

// The Compress window: the dropped files with their total size, the controls of their kind
// (the first file's) and, for pictures, the size the first one would have, estimated again
// after every change; a newer estimate stops the one still running, and closing the window
// stops it too. Compress writes "<base> Compressed.<ext>" for every file.
class CompressView : public ToolView
{
    Q_OBJECT
  public:
    explicit CompressView(std::shared_ptr<ToolContext> context, QWidget* parent = nullptr);
    ~CompressView() override;

    CompressWork::Kind kind() const { return m_kind; }
    const CompressWork::Choices& choices() const { return m_choices; }
    void setImageSettings(const ImageCompressSettings& settings);
    void setLevel(CompressLevel level);
    QLabel* sizeText() const { return m_size; }
    // The estimate shown, if any ("…" while one runs).
    std::optional<QString> estimate() const { return m_estimate; }
    // Estimates started so far, and those that stopped part-way because a newer one replaced
    // them or the window closed.
    int estimatesStarted() const { return m_started; }
    int estimatesStopped() const { return m_stopped->load(); }
    // The same count, readable after the window has gone.
    std::shared_ptr<const std::atomic<int>> stoppedCount() const { return m_stopped; }
    QLabel* note() const { return m_note; }

  protected:
    void apply() override;

  private:
    QWidget* header();
    QWidget* labelled(const QString& label, QWidget* control);
    void buildImageControls(QVBoxLayout* layout);
    void buildControls(QVBoxLayout* layout);
    void showImageMode();
    void estimateImage();
    void showSize();

    const CompressWork::Kind m_kind;
    CompressWork::Choices m_choices;
    qint64 m_total = 0;
    std::optional<QString> m_estimate;
    QLabel* m_size = nullptr;
    QLabel* m_note = nullptr;
    Segmented* m_level = nullptr;
    QWidget* m_levelRow = nullptr;
    SliderRow* m_percent = nullptr;
    SliderRow* m_target = nullptr;
    PreviewRunner* m_estimates = nullptr;
    EstimateSource* m_firstEstimate = nullptr;
    std::shared_ptr<std::atomic<bool>> m_stop;
    int m_started = 0;
    std::shared_ptr<std::atomic<int>> m_stopped = std::make_shared<std::atomic<int>>(0);
};
