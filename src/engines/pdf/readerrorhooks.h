#pragma once

namespace PDFEngine {

// Sends the complaints of Poppler's Qt and C++ front ends to ReadErrors, from then on, in place
// of their printing them. Idempotent; every reader through those front ends calls it first.
void hookReadErrors();

} // namespace PDFEngine
