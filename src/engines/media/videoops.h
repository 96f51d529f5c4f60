#pragma once

#include <QString>
#include <QStringList>

// Codec options for the video tools' outputs that cannot copy their streams.
namespace VideoOps {

// Video and audio encoder options for the output extension `ext` at rate factor `crf`, with
// the index moved to the front for "mp4" and "mov" and the times of an "avi" kept unshifted.
QStringList reencode(const QString& ext, int crf);

// The filter that gives a picture the even sides the 4:2:0 pictures of `reencode` need, one
// row and one column less when a side is odd; it goes last on the picture's way out of a
// filter graph.
QString evenSides();

} // namespace VideoOps
