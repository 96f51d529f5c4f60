#pragma once

#include <QString>
#include <QStringList>

// Codec options for the video tools' outputs that cannot copy their streams.
namespace VideoOps {

// Video and audio encoder options for the output extension `ext` at rate factor `crf`, with
// the index moved to the front for "mp4" and "mov".
QStringList reencode(const QString& ext, int crf);

} // namespace VideoOps
