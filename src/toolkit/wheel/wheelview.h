#pragma once

#include "toolkit/wheel/wheelpainter.h"

#include <QWidget>

class QVariantAnimation;
class WheelModel;

// Shows a WheelModel in a 320 × 320 square: grows and fades in when the model blooms, and
// eases each petal's highlight in and out.
class WheelView : public QWidget
{
    Q_OBJECT
  public:
    explicit WheelView(WheelModel* model, QWidget* parent = nullptr);

    WheelModel* model() const { return m_model; }
    // What the next paint draws besides the model.
    WheelFrame frame() const { return m_frame; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void itemsChanged();
    void highlightChanged();
    void bloomChanged();

    WheelModel* m_model;
    WheelFrame m_frame;
    QList<double> m_highlightFrom;
    QVariantAnimation* m_bloomAnimation;
    QVariantAnimation* m_highlightAnimation;
};
