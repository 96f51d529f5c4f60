#pragma once

#include <QByteArray>

namespace FontCheck {

// Whether the TrueType font program `data` (a PDF's FontFile2) can be followed to its glyphs:
// its table directory names tables that lie inside the data, and its head, maxp and loca tables
// lead to glyph outlines inside its glyf table. Collections and programs of other kinds are
// left to the reader.
bool trueTypeWhole(const QByteArray& data);

} // namespace FontCheck
