#pragma once

#include <QList>
#include <QString>

// The factors the speed window offers and how they read.
namespace SpeedLabels {

// The offered factors, slowest first; 1 is not among them.
QList<double> offered();

// "2x" for a whole factor, else its shortest decimal text without its leading zero: ".25x", "1.5x".
QString label(double speed);

// "New length 0:45": the length at `speed` in minutes and whole seconds; 0:00 without a length.
QString newLength(double duration, double speed);

} // namespace SpeedLabels
