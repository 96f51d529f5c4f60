#pragma once

#include <QWidget>

class CloseButton;
class QHBoxLayout;

// The frame of every framed view's window (the tools', the settings', the welcome window's): a 48-point title
// band with the round close button at its leading edge and the title centred over the whole width, the tool's
// content inside 16 points of padding, and a 54-point footer band for the tool's buttons, the bands set off
// by thin rules. Drawn in the warm light look whatever the desktop's theme; with rounded corners while its
// window is translucent, as a square otherwise.
class ToolChrome : public QWidget
{
    Q_OBJECT
  public:
    static constexpr int headerHeight = 48;
    static constexpr int footerHeight = 54;
    static constexpr int padding = 16;
    static constexpr double radius = 22;

    explicit ToolChrome(const QString& title, QWidget* parent = nullptr);

    QString title() const { return m_title; }
    // The tool's body: give it a layout and fill it.
    QWidget* content() const { return m_content; }
    // The footer band's row, 10 points apart: typically buttons with a stretch between.
    QHBoxLayout* footer() const { return m_footer; }
    CloseButton* closeButton() const { return m_close; }

    // The frame over an area of `size`: base and wash, the two rules, the title and the outline.
    static void paint(QPainter& painter, QSizeF size, const QString& title, bool rounded);

  signals:
    void closeRequested();

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    const QString m_title;
    QWidget* m_content;
    QHBoxLayout* m_footer;
    CloseButton* m_close;
};
