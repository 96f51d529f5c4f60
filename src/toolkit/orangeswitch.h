#pragma once

#include <QAbstractButton>

class QVariantAnimation;

// An on/off switch: an orange capsule with its knob at the trailing end when on, a muted one
// with the knob at the leading end when off. The knob slides and the colour follows over
// 0.15 s, from wherever the knob is when toggled again. The knob follows every change of the
// checked state, also one made with the switch's signals blocked.
class OrangeSwitch : public QAbstractButton
{
    Q_OBJECT
  public:
    explicit OrangeSwitch(QWidget* parent = nullptr);
    QSize sizeHint() const override { return QSize(36, 21); }
    // How far the knob is towards the on position, 0…1.
    double position() const { return m_position; }
    bool isAnimating() const;

    static void paint(QPainter& painter, const QRectF& rect, double position);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void checkStateSet() override;
    void nextCheckState() override;

  private:
    void slide(bool on);

    double m_position = 0;
    QVariantAnimation* m_animation;
};
