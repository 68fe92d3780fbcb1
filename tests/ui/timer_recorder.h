// Records the periods that the code linked into this test program gives
// SetTimer, without waiting for any timer: while a recorder lives, the
// program's import of user32's SetTimer points at the recorder, which notes
// the call and passes it on.
#pragma once

#include <windows.h>

#include <cstring>
#include <vector>

namespace zelvaro::test {

class TimerRecorder {
public:
    struct Call {
        HWND window;
        UINT_PTR id;
        UINT periodMs;
    };

    TimerRecorder() {
        calls().clear();
        slot_ = importSlot("user32.dll", "SetTimer");
        if (slot_) {
            original() = reinterpret_cast<SetTimerFunction>(*slot_);
            replace(reinterpret_cast<void*>(&record));
        }
    }
    ~TimerRecorder() {
        if (slot_)
            replace(reinterpret_cast<void*>(original()));
    }
    TimerRecorder(const TimerRecorder&) = delete;
    TimerRecorder& operator=(const TimerRecorder&) = delete;

    // False when the program imports no SetTimer to redirect.
    bool active() const { return slot_ != nullptr; }
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

    // The program's import address table entry of `dll`'s `function`.
    static ULONG_PTR* importSlot(const char* dll, const char* function) {
        auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
        const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
        const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
        const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
        if (!imports.VirtualAddress)
            return nullptr;
        for (auto* entry = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); entry->Name;
             ++entry) {
            if (lstrcmpiA(reinterpret_cast<const char*>(base + entry->Name), dll) != 0)
                continue;
            auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->OriginalFirstThunk);
            auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->FirstThunk);
            for (; names->u1.AddressOfData; ++names, ++slots) {
                if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                    continue;
                const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
                if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) == 0)
                    return reinterpret_cast<ULONG_PTR*>(&slots->u1.Function);
            }
        }
        return nullptr;
    }
    void replace(void* function) {
        DWORD protection = 0;
        VirtualProtect(slot_, sizeof *slot_, PAGE_READWRITE, &protection);
        *slot_ = reinterpret_cast<ULONG_PTR>(function);
        VirtualProtect(slot_, sizeof *slot_, protection, &protection);
    }

    ULONG_PTR* slot_ = nullptr;
};

}  // namespace zelvaro::test
