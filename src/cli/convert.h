#pragma once

#include <QStringList>

namespace CLI {

// --convert FORMAT FILE…: converts each file and prints one line per file. Returns 0, 1 when
// any file failed, 2 after the usage line.
int convert(const QStringList& rest);

} // namespace CLI
