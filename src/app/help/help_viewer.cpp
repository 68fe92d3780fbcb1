#include "app/help/help_viewer.h"

#include <shellapi.h>

#include <cctype>
#include <cstring>
#include <vector>

#include "base/ascii_path.h"
#include "tone/file_replace.h"
#include "ui/l_dialog.h"

namespace zelvaro {

namespace {

// Context numbers and the anchors of their chapters in the HTML page.
struct HelpAnchor {
    ULONG_PTR context;
    const char* anchor;
    const char* page;
};
const HelpAnchor kHelpAnchors[] = {
    {101, "PlaySettings", "play-settings.html"},
};

// A page the browser may be showing is replaced whole or not at all.
bool WriteWholeFile(const std::string& path, const void* bytes, size_t size) {
    return replaceFileContents(path, static_cast<const uint8_t*>(bytes), size);
}

std::string VersionDescription(const char* path) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path, &ignored);
    if (size == 0)
        return "";
    std::vector<char> info(size);
    if (!GetFileVersionInfoA(path, 0, size, info.data()))
        return "";
    struct Translation {
        WORD language;
        WORD codePage;
    }* translations = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(info.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translations),
                        &length) ||
        length < sizeof(Translation))
        return "";
    char query[64];
    wsprintfA(query, "\\StringFileInfo\\%04x%04x\\FileDescription", translations[0].language,
              translations[0].codePage);
    char* text = nullptr;
    if (!VerQueryValueA(info.data(), query, reinterpret_cast<void**>(&text), &length) || !text)
        return "";
    return std::string(text, strnlen(text, length));
}

}  // namespace

bool IsWinHelpStub(const char* fileDescription) {
    std::string lower;
    for (const char* c = fileDescription; c && *c; ++c)
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
    return lower.find("stub") != std::string::npos;
}

HelpViewer FindHelpViewer() {
    char viewer[MAX_PATH] = {};
    const DWORD length = SearchPathA(nullptr, "winhlp32.exe", nullptr, MAX_PATH, viewer, nullptr);
    if (length == 0 || length >= MAX_PATH)
        return HelpViewer::Browser;
    return IsWinHelpStub(VersionDescription(viewer).c_str()) ? HelpViewer::Browser : HelpViewer::WinHelp;
}

std::string WriteHelpPages(const std::string& folder, UINT command, ULONG_PTR data) {
    HRSRC resource = FindResourceA(instanceHandle(), "TONE_HTML", MAKEINTRESOURCEA(10) /* RT_RCDATA */);
    HGLOBAL loaded = resource ? LoadResource(instanceHandle(), resource) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes)
        return "";
    const std::string contents = folder + "\\tone.html";
    if (!WriteWholeFile(contents, bytes, SizeofResource(instanceHandle(), resource)))
        return "";
    if (command != HELP_CONTEXT)
        return contents;
    for (const HelpAnchor& anchor : kHelpAnchors) {
        if (anchor.context != data)
            continue;
        // A file name cannot carry an anchor through the shell: this page
        // forwards to the chapter.
        const std::string forward = std::string("<html><head><meta http-equiv=\"refresh\" content=\"0; url=tone.html#") +
                                    anchor.anchor + "\"></head><body><a href=\"tone.html#" + anchor.anchor +
                                    "\">Zelvaro Help</a></body></html>\r\n";
        const std::string page = folder + "\\" + anchor.page;
        return WriteWholeFile(page, forward.data(), forward.size()) ? page : contents;
    }
    return contents;
}

BOOL WINAPI ShowHelp(HWND owner, LPCSTR file, UINT command, ULONG_PTR data) {
    // The viewer is looked up on the first F1 only: the search and the
    // version query read the disk, and the answer cannot change while the
    // program runs.
    static const HelpViewer viewer = FindHelpViewer();
    // The viewer reads the file's name in the system's code page: a name
    // that it cannot be told opens as the pages, which are those of the one
    // help file built into the program.
    const std::string viewerFile = file ? AsciiPathOf(file) : "";
    if (viewer == HelpViewer::WinHelp && !viewerFile.empty())
        return WinHelpA(owner, viewerFile.c_str(), command, data);
    char temporary[MAX_PATH] = {};
    const DWORD length = GetTempPathA(MAX_PATH, temporary);
    if (length == 0 || length >= MAX_PATH - 16)
        return FALSE;
    std::string folder = temporary;
    folder += "Zelvaro Help";
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string page = WriteHelpPages(folder, command, data);
    if (page.empty())
        return FALSE;
    const HINSTANCE opened = ShellExecuteA(owner, nullptr, page.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(opened) > 32;
}

}  // namespace zelvaro
