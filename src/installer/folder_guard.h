// Which folders and files the uninstaller may delete. It removes the
// program's files from the folders named in the registry, so a damaged or
// hostile value must never lead it to a drive, the system's own folders or a
// user's, not even through a junction.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zelvaro {

// Folders the uninstaller keeps out of. A tree is protected with all it holds
// (the system's folders, the temporary folder, the user profiles and the
// known user folders); a root only itself (Program Files, ProgramData),
// since the program's own folder is made inside it.
struct ProtectedFolders {
    std::vector<std::string> trees;
    std::vector<std::string> roots;
};

// True when `folder` must be left alone: empty, not a full path (a drive
// letter with a backslash, or a network share), a drive or share root, a
// device path ("\\?\", "\\.\"), a part that is empty, ends in a dot or blank
// or holds a colon (a stream) or a wildcard, a protected tree or anything
// inside it, or a protected root; and any folder that holds one of them.
// Comparisons ignore letter case, slashes and trailing backslashes.
bool IsProtectedFolder(const std::string& folder, const ProtectedFolders& protectedFolders);

// True when `finalPath`, the path the system gives for the open folder
// (with or without its "\\?\" or "\\?\UNC\" form), names `folder` itself:
// false when a junction, link or short name on the way leads elsewhere.
bool IsSameFolder(const std::string& folder, const std::string& finalPath);

// The file attributes the uninstaller looks at (the system's values).
constexpr uint32_t kAttributeDirectory = 0x10;
constexpr uint32_t kAttributeReparsePoint = 0x400;

// What the system says of the opened folder.
struct FolderFacts {
    uint32_t attributes = 0;
    std::string finalPath;
};

// True when the uninstaller may delete in `folder`: a directory that is no
// reparse point (junction or link), is not protected, and whose final path
// is the folder named.
bool MayRemoveFrom(const std::string& folder, const FolderFacts& facts, const ProtectedFolders& protectedFolders);

// True when `name` (a file name without folder) is one the program itself
// puts in its folders: the installed files, the uninstaller, the tone and
// settings it keeps, the help viewer's index of the help file, and what an
// interrupted save of the tone leaves behind. The uninstaller deletes these
// and nothing else, so that a user's own files in the folder survive it.
bool IsProgramFileName(const std::string& name);

// True for a file found in the folder that the uninstaller deletes: one of
// the program's, and neither a folder nor a reparse point.
bool MayDeleteFile(const std::string& name, uint32_t attributes);

}  // namespace zelvaro
