#pragma once

#include <QByteArray>

namespace JpegCheck {

// Whether the JPEG `data` decode whole: libjpeg reads every scan without a warning (data that
// end early, markers out of place, codes it can't follow) and without failing. Decoded at an
// eighth of its size, which reads all of the coded data at little cost.
bool whole(const QByteArray& data);

} // namespace JpegCheck
