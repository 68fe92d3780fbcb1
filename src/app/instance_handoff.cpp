#include "app/instance_handoff.h"

namespace zelvaro {

HandOff handOffToRunningInstance(HWND running, DWORD waitMs) {
    DWORD processId = 0;
    GetWindowThreadProcessId(running, &processId);
    HANDLE process = processId ? OpenProcess(SYNCHRONIZE, FALSE, processId) : nullptr;
    // ShowWindow would send its request and wait for the window's thread to
    // act on it, however long that thread is busy; the asynchronous form
    // only queues it.
    ShowWindowAsync(running, SW_RESTORE);
    HandOff result = HandOff::Busy;
    DWORD_PTR answer = 0;
    if (SendMessageTimeoutA(running, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, waitMs, &answer)) {
        SetForegroundWindow(running);
        result = HandOff::Restored;
    } else if (process && WaitForSingleObject(process, waitMs) == WAIT_OBJECT_0) {
        result = HandOff::Gone;
    }
    if (process)
        CloseHandle(process);
    return result;
}

}  // namespace zelvaro
