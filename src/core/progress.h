#pragma once

#include <functional>

// Takes the fraction 0…1 of a piece of work done; it may be called from any thread.
using Progress = std::function<void(double)>;
