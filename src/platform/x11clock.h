#pragma once

// The window system time this application stamps its claims on the clipboard and on a drag with.
// Qt keeps the newest time it has seen in an event and takes a peer's selection request at its
// word, so one request stamped ahead of the server (a drop target's, a clipboard reader's) leaves
// every later claim refused until the server's clock gets there; a time left behind another
// program's claim is refused as well.
namespace X11Clock {

// Sets the application's time to the server's present. Main thread; waits for one round trip
// through the event queue (at most a second), during which non-input events are handled. Does
// nothing off X11.
void catchUp();

} // namespace X11Clock
