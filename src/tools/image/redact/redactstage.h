#pragma once

#include "core/redactstyle.h"
#include "toolkit/boxstage.h"

class ImageSource;

// The Redact Photo window's picture: the preview fitted into the area with the boxes over it,
// or the spinner or the reason the picture could not be read. Committed boxes are filled in the
// style's colour, with the blur or pixelate symbol.
class RedactStage : public BoxStage
{
    Q_OBJECT
  public:
    static constexpr double padding = 6;

    explicit RedactStage(const ImageSource& source, QWidget* parent = nullptr);

    void setStyle(RedactStyle style);
    // How a committed box shows `style`.
    static Look lookOf(RedactStyle style);

  private:
    const ImageSource& m_source;
};
