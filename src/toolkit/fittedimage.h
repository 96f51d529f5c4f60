#pragma once

#include <QImage>
#include <QSizeF>

// A picture as a stage shows it: scaled to the box it fills, at the screen's pixel density.
class FittedImage
{
  public:
    // Fits `picture` to `size` device-independent pixels at the pixel ratio `dpr`, scaling again
    // only when the size or the picture has changed. An empty size keeps what was shown.
    void fit(const QImage& picture, QSizeF size, double dpr);
    const QImage& image() const { return m_image; }

  private:
    QImage m_image;
    qint64 m_from = 0;
};
