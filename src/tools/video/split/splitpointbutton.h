#pragma once

#include <QAbstractButton>

// The small button that removes one split point: its time and a cross, in the soft ink.
class SplitPointButton : public QAbstractButton
{
    Q_OBJECT
  public:
    explicit SplitPointButton(double seconds, QWidget* parent = nullptr);

    double seconds() const { return m_seconds; }
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    const double m_seconds;
};
