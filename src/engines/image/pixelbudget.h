#pragma once

#include "core/memorybudget.h"

#include <QImage>
#include <QSize>
#include <QString>

class Job;

// The memory that pictures decoded and pages rendered at the same time share: each conversion
// takes its charge of a budget (MemoryBudget::pictures() unless a caller gives another) before
// it decodes or renders anything, and holds it until its result is written.
namespace PixelBudget {

// Bytes a picture of `size` pixels in `format` holds (0 for an empty size).
qint64 bytes(QSize size, QImage::Format format);

// What converting a picture of `size` pixels, decoded or rendered in `format`, to `target` (a
// catalog format key) holds at its most: its pixels and the copies the road makes of them (a
// decoder's or Poppler's own bitmap, the picture turned upright or flattened, the writer's
// conversion), and the HEIF encoders' frames.
qint64 charge(QSize size, QImage::Format format, const QString& target);

// The charge of converting the picture file at `path` to `target`, from what its header says of
// its size; 0 when the header tells nothing, as of a file the engine can't read.
qint64 charge(const QString& path, const QString& target);

// `bytes` of `budget`, waiting while other conversions hold too much of it. A charge larger than
// the whole budget takes all of it, so that file runs alone rather than fails. Throws
// ConvertError::cancelled as soon as `job` is cancelled, waiting or not.
MemoryBudget::Share take(qint64 bytes, const Job& job, MemoryBudget& budget);

} // namespace PixelBudget
