#pragma once

#include <QString>

// Style sheet text as a CSS reader reads it.
namespace StyleSheet {

// The text without its @import rules, in every spelling a style sheet reader takes: any case,
// escaped letters, comments or a string or url() as the target.
QString withoutImports(const QString& css);

} // namespace StyleSheet
