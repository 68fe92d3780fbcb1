#include "app/file_dialog.h"

#include <commdlg.h>

namespace zelvaro {

bool askFileName(HWND owner, const FileDialogRequest& request, char (&path)[kFileNameSize]) {
    OPENFILENAMEA ofn = {};
    ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = request.filter;
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = path;
    ofn.nMaxFile = kFileNameSize;
    ofn.lpstrInitialDir = request.initialFolder;
    ofn.lpstrTitle = request.title;
    ofn.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
    // The platform's documentation has "file must exist" for open dialogs
    // only: in a save dialog it can refuse every new name.
    if (!request.save)
        ofn.Flags |= OFN_FILEMUSTEXIST;
    ofn.lpstrDefExt = request.defaultExtension;
    return (request.save ? GetSaveFileNameA(&ofn) : GetOpenFileNameA(&ofn)) != FALSE;
}

}  // namespace zelvaro
