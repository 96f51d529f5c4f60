#pragma once

namespace CLI {

// Eight seconds of a job whose progress climbs 12.5 % a second, printing about once a second
// the time, the progress and the job's estimate of the time left. Returns 0.
int etaDemo();

} // namespace CLI
