#include "audio/l_thread.h"

#include <cstring>
#include <vector>

namespace zelvaro {

LThread::LThread() {
    stopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
}

LThread::~LThread() {
    stopThread(5000);
    if (stopEvent != nullptr)
        CloseHandle(stopEvent);
}

void LThread::startThread(int priority) {
    if (thread != nullptr) {
        DWORD code = 0;
        if (GetExitCodeThread(thread, &code) && code == STILL_ACTIVE)
            return;
        CloseHandle(thread);
        thread = nullptr;
    }
    if (stopEvent != nullptr)
        ResetEvent(stopEvent);
    // Created suspended, so that not even the first pass of the body runs at
    // the creator's priority.
    thread = CreateThread(nullptr, 0, &LThread::threadEntry, this, CREATE_SUSPENDED, nullptr);
    if (thread != nullptr) {
        SetThreadPriority(thread, priority);
        ResumeThread(thread);
    }
}

void LThread::stopThread(int timeoutMs) {
    if (thread == nullptr)
        return;
    if (stopEvent != nullptr)
        SetEvent(stopEvent);
    const DWORD wait = timeoutMs < 0 ? 0 : static_cast<DWORD>(timeoutMs);
    if (WaitForSingleObject(thread, wait) == WAIT_TIMEOUT)
        TerminateThread(thread, 0);
    CloseHandle(thread);
    thread = nullptr;
}

bool LThread::isRunning() const {
    if (thread == nullptr)
        return false;
    DWORD code = 0;
    return GetExitCodeThread(thread, &code) && code == STILL_ACTIVE;
}

bool LThread::waitForThreadEnd(int timeoutMs) {
    if (thread == nullptr)
        return true;
    const DWORD wait = timeoutMs < 0 ? 0 : static_cast<DWORD>(timeoutMs);
    return WaitForSingleObject(thread, wait) != WAIT_TIMEOUT;
}

bool LThread::runProcess(const char* commandLine, int timeoutMs) {
    if (commandLine == nullptr)
        return false;
    // CreateProcessA may write into the command line, so it gets a copy.
    std::vector<char> line(commandLine, commandLine + std::strlen(commandLine) + 1);
    STARTUPINFOA startup;
    std::memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE, nullptr,
                        nullptr, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    bool result = false;
    if (stopEvent != nullptr) {
        const HANDLE handles[2] = {stopEvent, process.hProcess};
        const DWORD wait = timeoutMs < 0 ? 0 : static_cast<DWORD>(timeoutMs);
        result = WaitForMultipleObjects(2, handles, FALSE, wait) != WAIT_TIMEOUT;
    }
    CloseHandle(process.hProcess);
    return result;
}

DWORD WINAPI LThread::threadEntry(LPVOID parameter) {
    if (parameter == nullptr)
        return 0;
    LThread* self = static_cast<LThread*>(parameter);
    // No exception may leave a thread entry; a body that throws simply ends its thread.
    try {
        self->onThreadStart();
        self->run();
        self->onThreadEnd();
    } catch (...) {
    }
    return 0;
}

}  // namespace zelvaro
