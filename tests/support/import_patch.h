// Points one entry of the test program's own import table at a stand-in for
// as long as the patch lives, so that a test can record what the code linked
// into it asks of the system without waiting for it (timers) or without the
// system being able to show it (access lists).
#pragma once

#include <windows.h>

#include <cstring>

namespace zelvaro::test {

class ImportPatch {
public:
    // `function` as imported from `dll` (any module when null) now calls
    // `replacement`.
    ImportPatch(const char* dll, const char* function, void* replacement) {
        slot_ = importSlot(dll, function);
        if (!slot_)
            return;
        original_ = reinterpret_cast<void*>(*slot_);
        write(replacement);
    }
    ~ImportPatch() {
        if (slot_)
            write(original_);
    }
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;

    // False when the program imports no such function to redirect.
    bool active() const { return slot_ != nullptr; }
    // What the entry pointed at before.
    void* original() const { return original_; }

private:
    static ULONG_PTR* importSlot(const char* dll, const char* function) {
        auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
        const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
        const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
        const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
        if (!imports.VirtualAddress)
            return nullptr;
        for (auto* entry = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); entry->Name;
             ++entry) {
            if (dll && lstrcmpiA(reinterpret_cast<const char*>(base + entry->Name), dll) != 0)
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
    void write(void* function) {
        DWORD protection = 0;
        VirtualProtect(slot_, sizeof *slot_, PAGE_READWRITE, &protection);
        *slot_ = reinterpret_cast<ULONG_PTR>(function);
        VirtualProtect(slot_, sizeof *slot_, protection, &protection);
    }

    ULONG_PTR* slot_ = nullptr;
    void* original_ = nullptr;
};

}  // namespace zelvaro::test
