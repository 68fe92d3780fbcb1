/* A library someone put beside a program: it leaves a mark ("<its path>.loaded")
   when it is loaded, and has none of the functions the program wants. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) {
        char path[MAX_PATH + 8];
        const DWORD length = GetModuleFileNameA(instance, path, MAX_PATH);
        if (length > 0 && length < MAX_PATH) {
            lstrcpyA(path + length, ".loaded");
            CloseHandle(CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL));
        }
    }
    return TRUE;
}
