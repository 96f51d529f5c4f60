#pragma once

#include "core/modifierkey.h"
#include "toolkit/framedview.h"

#include <QImage>
#include <QList>
#include <functional>
#include <optional>

class QLabel;
class WheelModel;

// The first window a new user sees: the three wheels and the keys that open them (following the
// settings live), a demo wheel, a sample picture to drag out and try at once, and "Got It",
// which runs the done action the shell gives.
class WelcomeView : public FramedView
{
    Q_OBJECT
  public:
    // One explanation row: the key's glyph, the wheel's name and what it does.
    struct Step
    {
        QString glyph;
        QString title;
        QString text;
    };

    // `sample` is the file the try-it box offers; without one the box is left out.
    WelcomeView(std::function<void()> onDone, const std::optional<QString>& sample,
                QWidget* parent = nullptr);

    // The sample picture "Tolvane Sample.png" in the application's data folder
    // (Settings::dataFolder()): made once from `picture` and kept, remade only when the file there
    // no longer decodes. Written whole or not at all; none when it can't be made.
    static std::optional<QString> makeSample(const std::function<QImage()>& picture);
    // The three rows for these keys, in the order convert, tools, actions.
    static QList<Step> steps(ModifierKey convertKey, ModifierKey toolsKey, ModifierKey actionsKey);
    // The try-it box's line for the convert key.
    static QString tryItText(ModifierKey convertKey);

    const WheelModel* demo() const { return m_demo; }

  protected:
    void apply() override;

  private:
    QWidget* stepRow(QLabel*& glyph, QLabel*& title, QLabel*& text);
    QWidget* tryItBox(const QString& sample);
    void showKeys();

    std::function<void()> m_onDone;
    WheelModel* m_demo;
    struct StepLabels
    {
        QLabel* glyph = nullptr;
        QLabel* title = nullptr;
        QLabel* text = nullptr;
    };
    QList<StepLabels> m_steps;
    QLabel* m_tryIt = nullptr;
};
