#pragma once

#include <QWidget>

// The rounded area a tool shows its live preview on, dark or lightly tinted; its content fills
// it and is cut at its rounded edge.
class Stage : public QWidget
{
    Q_OBJECT
  public:
    static constexpr double radius = 14;

    Stage(bool dark, QWidget* content, QWidget* parent = nullptr);
    QWidget* content() const { return m_content; }

    static void paint(QPainter& painter, QSizeF size, bool dark);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    const bool m_dark;
    QWidget* m_content;
};
