#pragma once

#include "engines/media/toolchoices.h"
#include "toolkit/toolview.h"

class QLabel;
class Segmented;

// The Normalize Volume window: the file's name (or how many recordings), the loudness targets
// with a line on the chosen one, and Normalize, which evens out every dropped file.
class NormalizeView : public ToolView
{
    Q_OBJECT
  public:
    explicit NormalizeView(std::shared_ptr<ToolContext> context,
                           LoudnessTarget target = LoudnessTarget::streaming, QWidget* parent = nullptr);

    LoudnessTarget target() const { return m_target; }
    // The line under the targets.
    static QString description(LoudnessTarget target);
    // The file's name for one file, else "<n> recordings".
    static QString subject(const QStringList& files);

    Segmented* targets() const { return m_targets; }
    QLabel* descriptionText() const { return m_description; }
    QLabel* subjectText() const { return m_subject; }

  protected:
    void apply() override;

  private:
    void choose(int index);

    LoudnessTarget m_target;
    QLabel* m_subject;
    Segmented* m_targets;
    QLabel* m_description;
};
