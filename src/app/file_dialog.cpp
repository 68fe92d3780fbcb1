#include "app/file_dialog.h"

#include <commdlg.h>

#include "app/settings/settings_path.h"

namespace zelvaro {

namespace {
constexpr char kSection[] = "settings";
constexpr char kFolderKey[] = "filedir";
}  // namespace

std::string folderOf(const char* path) {
    const std::string text(path);
    const size_t slash = text.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : text.substr(0, slash + 1);
}

bool askFileName(HWND owner, const FileDialogRequest& request, char (&path)[kFileNameSize]) {
    char folder[kFileNameSize] = "";
    GetPrivateProfileStringA(kSection, kFolderKey, "", folder, kFileNameSize, settingsPath);
    OPENFILENAMEA ofn = {};
    ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = request.filter;
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = path;
    ofn.nMaxFile = kFileNameSize;
    ofn.lpstrInitialDir = folder;
    ofn.lpstrTitle = request.title;
    ofn.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
    // The platform's documentation has "file must exist" for open dialogs
    // only: in a save dialog it can refuse every new name.
    if (!request.save)
        ofn.Flags |= OFN_FILEMUSTEXIST;
    ofn.lpstrDefExt = request.defaultExtension;
    if (!(request.save ? GetSaveFileNameA(&ofn) : GetOpenFileNameA(&ofn)))
        return false;
    WritePrivateProfileStringA(kSection, kFolderKey, folderOf(path).c_str(), settingsPath);
    return true;
}

}  // namespace zelvaro
