// A second start of the program hands over to the instance already running.
#pragma once

#include <windows.h>

namespace zelvaro {

enum class HandOff {
    Restored,  // the running window answered: it is restored and in front
    Gone,      // its process ended meanwhile: this start may take its place
    Busy,      // it did not answer in time (busy, or closing): left to itself
};

// Asks `running` (another process's main window) to restore itself and come
// to the front. Nothing here waits on that window's thread for longer than
// `waitMs`: a window that is busy or being destroyed cannot hold this start.
// When it does not answer, waits at most `waitMs` more for its process to end.
HandOff handOffToRunningInstance(HWND running, DWORD waitMs);

}  // namespace zelvaro
