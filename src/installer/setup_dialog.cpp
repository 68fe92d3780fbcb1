#include "installer/setup_dialog.h"

#include <dde.h>

#include <cstring>

namespace zelvaro {

INT_PTR SetupDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_DDE_ACK)
        return LProgressDialog::HandleMessage(message, wParam, lParam);
    progmanServer = reinterpret_cast<HWND>(wParam);
    ackParameter = lParam;
    return TRUE;
}

bool SetupDialog::WaitForAck() {
    const DWORD start = GetTickCount();
    while (!progmanServer) {
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= kAckTimeoutMs)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, kAckTimeoutMs - elapsed, QS_ALLINPUT);
        MSG msg;
        while (!progmanServer && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(msg.wParam));
                return false;
            }
            if (!window || !IsDialogMessageA(window, &msg)) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
        }
    }
    return true;
}

bool SetupDialog::ProgmanCommand(const char* command) {
    if (!window)
        return false;
    progmanServer = nullptr;
    const ATOM application = GlobalAddAtomA("PROGMAN");
    const ATOM topic = GlobalAddAtomA("PROGMAN");
    // Sent, not posted: the server acknowledges while the broadcast runs. A
    // hung top-level window must not stop the run, hence the timeout.
    SendMessageTimeoutA(HWND_BROADCAST, WM_DDE_INITIATE, reinterpret_cast<WPARAM>(window),
                        MAKELPARAM(application, topic), SMTO_ABORTIFHUNG, kAckTimeoutMs, nullptr);
    GlobalDeleteAtom(application);
    GlobalDeleteAtom(topic);
    HWND server = progmanServer;
    if (!server)
        return false;
    // The server's reply names its own copies of the two atoms.
    GlobalDeleteAtom(LOWORD(ackParameter));
    GlobalDeleteAtom(HIWORD(ackParameter));
    return ExecuteOn(server, command);
}

bool SetupDialog::ExecuteOn(HWND server, const char* command) {
    if (!window)
        return false;
    const size_t size = std::strlen(command) + 1;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, size);
    if (!memory)
        return false;
    if (void* text = GlobalLock(memory)) {
        std::memcpy(text, command, size);
        GlobalUnlock(memory);
    }
    progmanServer = nullptr;
    bool acknowledged = false;
    if (PostMessageA(server, WM_DDE_EXECUTE, reinterpret_cast<WPARAM>(window),
                     PackDDElParam(WM_DDE_EXECUTE, 0, reinterpret_cast<UINT_PTR>(memory)))) {
        acknowledged = WaitForAck();
        if (acknowledged)
            FreeDDElParam(WM_DDE_ACK, ackParameter);
    }
    GlobalFree(memory);
    return acknowledged;
}

}  // namespace zelvaro
