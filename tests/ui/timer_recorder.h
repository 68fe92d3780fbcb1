// Records the periods that the code linked into this test program gives
// SetTimer, without waiting for any timer: while a recorder lives, the
// program's import of user32's SetTimer points at the recorder, which notes
// the call and passes it on.
#pragma once

#include <windows.h>

#include <vector>

#include "tests/support/import_patch.h"

namespace zelvaro::test {

class TimerRecorder {
public:
    struct Call {
        HWND window;
        UINT_PTR id;
        UINT periodMs;
    };

    TimerRecorder() : patch_("user32.dll", "SetTimer", reinterpret_cast<void*>(&record)) {
        calls().clear();
        original() = reinterpret_cast<SetTimerFunction>(patch_.original());
    }

    // False when the program imports no SetTimer to redirect.
    bool active() const { return patch_.active(); }
    // The periods set for timer `id` of `window`, in order.
    std::vector<UINT> periods(HWND window, UINT_PTR id) const {
        std::vector<UINT> found;
        for (const Call& call : calls())
            if (call.window == window && call.id == id)
                found.push_back(call.periodMs);
        return found;
    }

private:
    using SetTimerFunction = UINT_PTR(WINAPI*)(HWND, UINT_PTR, UINT, TIMERPROC);

    static std::vector<Call>& calls() {
        static std::vector<Call> recorded;
        return recorded;
    }
    static SetTimerFunction& original() {
        static SetTimerFunction function = nullptr;
        return function;
    }
    static UINT_PTR WINAPI record(HWND window, UINT_PTR id, UINT periodMs, TIMERPROC procedure) {
        calls().push_back({window, id, periodMs});
        return original()(window, id, periodMs, procedure);
    }

    ImportPatch patch_;
};

}  // namespace zelvaro::test
