#pragma once

#include <QString>

// The text made safe for XML character data and attribute values: & < > " ' become entities;
// characters XML cannot hold (controls other than tab, line feed and carriage return, U+FFFE,
// U+FFFF and unpaired surrogates) are dropped; everything else is kept.
QString xmlEscaped(const QString& text);
