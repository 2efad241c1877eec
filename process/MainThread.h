#pragma once
// The thread that runs main(). Qt keeps the windows on the thread that made
// the application object, and Orvane makes it in main(), so this is the
// user-interface thread as well.

namespace orvane {

bool OnMainThread();

// Stops the process with "orvane: WHAT off the user-interface thread" on
// stderr unless called on the main thread. What is process-wide and shared
// with the windows (the camera directory) is filled there only: filled from
// two threads at once, a list is corrupted silently, long before anything
// shows it. One comparison of thread ids: nothing a caller would notice.
void RequireMainThread(const char* what);

}  // namespace orvane
