#include "installer/setup_dialog.h"

#include <dde.h>


namespace zelvaro {

namespace {
constexpr wchar_t kConversationClass[] = L"ZelvaroProgmanClient";
}  // namespace

// The server reads a command in the code page of its own process when the
// window that sends it is an ANSI one, and the programs' UTF-8 is not that
// code page: a folder outside it would reach the shell's links garbled. From
// a Unicode window the command goes in UTF-16 and is taken as it is.
HWND SetupDialog::ConversationWindow() {
    if (conversation)
        return conversation;
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = ConversationProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kConversationClass;
    RegisterClassW(&windowClass);  // fails harmlessly when already registered
    conversation = CreateWindowExW(0, kConversationClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   GetModuleHandleW(nullptr), nullptr);
    if (conversation)
        SetWindowLongPtrW(conversation, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    return conversation;
}

SetupDialog::~SetupDialog() {
    if (conversation)
        DestroyWindow(conversation);
}

// Takes the Program Manager's acknowledgements.
LRESULT CALLBACK SetupDialog::ConversationProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* dialog = reinterpret_cast<SetupDialog*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message != WM_DDE_ACK || !dialog)
        return DefWindowProcW(window, message, wParam, lParam);
    dialog->progmanServer = reinterpret_cast<HWND>(wParam);
    dialog->ackParameter = lParam;
    return 0;
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
    HWND client = window ? ConversationWindow() : nullptr;
    if (!client)
        return false;
    progmanServer = nullptr;
    const ATOM application = GlobalAddAtomW(L"PROGMAN");
    const ATOM topic = GlobalAddAtomW(L"PROGMAN");
    // Sent, not posted: the server acknowledges while the broadcast runs. A
    // hung top-level window must not stop the run, hence the timeout.
    SendMessageTimeoutW(HWND_BROADCAST, WM_DDE_INITIATE, reinterpret_cast<WPARAM>(client),
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
    HWND client = window ? ConversationWindow() : nullptr;
    const int units = MultiByteToWideChar(CP_ACP, 0, command, -1, nullptr, 0);
    if (!client || units <= 0)
        return false;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, static_cast<SIZE_T>(units) * sizeof(wchar_t));
    if (!memory)
        return false;
    if (auto* text = static_cast<wchar_t*>(GlobalLock(memory))) {
        MultiByteToWideChar(CP_ACP, 0, command, -1, text, units);
        GlobalUnlock(memory);
    }
    progmanServer = nullptr;
    bool acknowledged = false;
    if (PostMessageW(server, WM_DDE_EXECUTE, reinterpret_cast<WPARAM>(client),
                     PackDDElParam(WM_DDE_EXECUTE, 0, reinterpret_cast<UINT_PTR>(memory)))) {
        acknowledged = WaitForAck();
        if (acknowledged)
            FreeDDElParam(WM_DDE_ACK, ackParameter);
    }
    GlobalFree(memory);
    return acknowledged;
}

}  // namespace zelvaro
