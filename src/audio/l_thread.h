// An object that owns one worker thread and the event that asks it to stop.
#pragma once

#include <windows.h>

namespace zelvaro {

class LThread {
public:
    LThread();
    // Stops the thread (5000 ms, then termination) and closes the stop event.
    // A derived class whose run uses its own members must stop the thread in
    // its own destructor, before those members go.
    virtual ~LThread();

    LThread(const LThread&) = delete;
    LThread& operator=(const LThread&) = delete;

    // Starts run on a new thread at the given priority from its first
    // instruction, unless the previous thread is still active; a finished
    // thread's handle is closed first.
    void startThread(int priority);
    // Signals the stop event, waits at most timeoutMs, terminates the thread
    // when it has not ended by then, and closes its handle.
    void stopThread(int timeoutMs);
    // A thread exists and has not ended.
    bool isRunning() const;
    // Waits at most timeoutMs for the thread to end, without asking it to;
    // true when no thread is left running.
    bool waitForThreadEnd(int timeoutMs);
    // Starts a hidden console process and waits for it or the stop event, at
    // most timeoutMs. False when it cannot be started or the wait timed out;
    // a process still running then is left running.
    bool runProcess(const char* commandLine, int timeoutMs);

protected:
    // The thread's body; must poll stopEvent at least once per pass.
    virtual void run() = 0;
    virtual void onThreadStart() {}
    virtual void onThreadEnd() {}

    HANDLE thread = nullptr;
    HANDLE stopEvent = nullptr;

private:
    static DWORD WINAPI threadEntry(LPVOID parameter);
};

}  // namespace zelvaro
