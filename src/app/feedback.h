#pragma once

// The feedback of a newly highlighted petal.
namespace Feedback {

// Plays the short highlight sound when the setting is on; returns at once and stays silent
// without an audio device. Haptics have no device here, so that setting does nothing.
void tick();

} // namespace Feedback
