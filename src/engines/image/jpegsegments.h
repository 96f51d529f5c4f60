#pragma once

#include <QByteArray>
#include <QList>
#include <optional>

namespace JpegSegments {

enum class Keep {
    tags,     // every segment but the multi-picture index
    decoding, // only what a decoder needs: JFIF, the Adobe colour transform, the colour profile,
              // the frame, the tables and the scans; a segment no decoder reads goes
    drawing   // as decoding, without the colour profile: for a picture whose colours are given
              // elsewhere (a PDF's colour space)
};

// The first picture of the JPEG `data` alone: what follows its end (further pictures, appended
// data) is left out with the multi-picture index that points there, and the frame, tables and
// scans stay byte for byte, so it decodes to the same pixels. A picture cut short in its last scan
// keeps its scans as far as they go. None when `data` is not a JPEG whose segments can be followed.
std::optional<QByteArray> firstPicture(const QByteArray& data, Keep keep);

struct Segment
{
    quint8 code;        // the marker's second byte; 0 for the entropy-coded data after a scan header
    qsizetype from, to; // where it starts (its marker) and ends in the data
};

// The segments of the first picture of the JPEG `data` in order, after its start marker: through
// its end marker, which is the last, or as far as a picture cut short goes. None when `data` is
// not a JPEG whose segments can be followed.
std::optional<QList<Segment>> segments(const QByteArray& data);

enum class Cut { whole, lowerPart, detail };

// Whether the JPEG `data` ends before its first picture does: what a decoder then leaves out is
// the lower part of a picture coded top to bottom, or the finer passes of a progressive one.
// Whole for data that is not a JPEG whose segments can be followed.
Cut cut(const QByteArray& data);

} // namespace JpegSegments
