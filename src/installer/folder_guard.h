// Which folders the uninstaller may empty. It deletes every file of the
// folders named in the registry, so a damaged or hostile value must never
// point it at a drive or at the system's own folders.
#pragma once

#include <string>
#include <vector>

namespace zelvaro {

// True when `folder` must be left alone: empty, not a full path (a drive
// letter with a backslash, or a network share), a drive or share root, a
// path with "." or ".." parts, or one of `protectedFolders` or a folder that
// holds one of them. Comparisons ignore letter case, slashes and trailing
// backslashes.
bool IsProtectedFolder(const std::string& folder, const std::vector<std::string>& protectedFolders);

// True when `name` (a file name without folder) is one the program itself
// puts in its folders: the installed files, the uninstaller, the tone and
// settings it keeps, the help viewer's index of the help file, and what an
// interrupted save of the tone leaves behind. The uninstaller deletes these
// and nothing else, so that a user's own files in the folder survive it.
bool IsProgramFileName(const std::string& name);

}  // namespace zelvaro
