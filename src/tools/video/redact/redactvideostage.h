#pragma once

#include "core/redactstyle.h"
#include "toolkit/boxstage.h"

// The Redact Video window's picture: a still frame fitted on a dark stage with the boxes over it
// (black ones black, blurred and pixelated ones a translucent gray), or a spinner until a first
// frame came.
class RedactVideoStage : public BoxStage
{
    Q_OBJECT
  public:
    static constexpr double padding = 10;
    // A drawn box narrower or lower than this share of the frame is dropped.
    static constexpr double minSide = 0.01;

    explicit RedactVideoStage(QWidget* parent = nullptr);

    // A null frame keeps the one shown: a failed grab leaves the last good picture.
    void setFrame(const QImage& frame);
    const QImage& frame() const { return picture(); }
    void setStyle(RedactStyle style);

    // The fill of a committed box in `style`: black for black, else gray at 0.7.
    static QColor fillOf(RedactStyle style);

  protected:
    void paintBackdrop(QPainter& painter) override;
};
