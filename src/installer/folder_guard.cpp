#include "installer/folder_guard.h"

#include <cctype>

namespace zelvaro {

namespace {

// Lower case, backslashes only, no trailing backslash.
std::string Normalised(const std::string& path) {
    std::string out;
    for (char c : path)
        out += c == '/' ? '\\' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    while (!out.empty() && out.back() == '\\')
        out.pop_back();
    return out;
}

std::vector<std::string> Parts(const std::string& path, size_t from) {
    std::vector<std::string> parts;
    std::string part;
    for (size_t i = from; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '\\') {
            parts.push_back(part);
            part.clear();
        } else {
            part += path[i];
        }
    }
    return parts;
}

bool IsAncestorOrSame(const std::string& folder, const std::string& other) {
    return other == folder || (other.size() > folder.size() && other.compare(0, folder.size(), folder) == 0 &&
                               other[folder.size()] == '\\');
}

bool EqualsIgnoringCase(const std::string& a, const char* b) {
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return i == a.size() && b[i] == '\0';
}

bool IsDigits(const std::string& text, size_t from, size_t to) {
    if (from >= to)
        return false;
    for (size_t i = from; i < to; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i])))
            return false;
    }
    return true;
}

// The temporary name of a replaced file: its name + "." + process + "." + count + ".tmp".
bool IsReplaceLeftover(const std::string& name, const char* base) {
    const std::string text = Normalised(name);
    std::string prefix = Normalised(base) + ".";
    const std::string suffix = ".tmp";
    if (text.size() <= prefix.size() + suffix.size() || text.compare(0, prefix.size(), prefix) != 0 ||
        text.compare(text.size() - suffix.size(), suffix.size(), suffix) != 0)
        return false;
    const size_t end = text.size() - suffix.size();
    const size_t dot = text.find('.', prefix.size());
    return dot != std::string::npos && dot < end && IsDigits(text, prefix.size(), dot) && IsDigits(text, dot + 1, end);
}

}  // namespace

bool IsProgramFileName(const std::string& name) {
    static const char* const kNames[] = {
        "tone.exe", "tone.hlp", "uninst.exe", "Current.tdf", "settings.ini",
        // the help viewer's index and full-text search files, written beside the help file
        "tone.gid", "tone.fts", "tone.ftg",
    };
    for (const char* known : kNames) {
        if (EqualsIgnoringCase(name, known))
            return true;
    }
    return IsReplaceLeftover(name, "Current.tdf");
}

bool IsProtectedFolder(const std::string& folder, const ProtectedFolders& protectedFolders) {
    const std::string path = Normalised(folder);
    std::vector<std::string> parts;
    size_t minimumParts = 0;
    if (path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
        path[2] == '\\') {
        parts = Parts(path, 3);  // "c:\a\b" -> a, b
        minimumParts = 1;
    } else if (path.size() > 2 && path[0] == '\\' && path[1] == '\\') {
        parts = Parts(path, 2);  // "\\server\share\a" -> server, share, a
        minimumParts = 3;
    } else {
        return true;  // empty, relative, or a bare drive such as "c:"
    }
    if (parts.size() < minimumParts)
        return true;
    for (const std::string& part : parts) {
        // The system drops a part's trailing dots and blanks ("windows." is
        // "windows"); "?" and "." as the first part are the device forms
        // "\\?\" and "\\.\"; a colon names a stream ("windows::$index_allocation"
        // is the folder itself); the wildcards match other names.
        if (part.empty() || part.back() == '.' || part.back() == ' ' ||
            part.find_first_of(":*?\"<>|") != std::string::npos || part == ".")
            return true;
    }
    for (const std::string& tree : protectedFolders.trees) {
        const std::string other = Normalised(tree);
        if (!other.empty() && (IsAncestorOrSame(path, other) || IsAncestorOrSame(other, path)))
            return true;
    }
    for (const std::string& root : protectedFolders.roots) {
        const std::string other = Normalised(root);
        if (!other.empty() && IsAncestorOrSame(path, other))
            return true;
    }
    return false;
}

bool IsSameFolder(const std::string& folder, const std::string& finalPath) {
    std::string path = Normalised(finalPath);
    if (path.compare(0, 8, "\\\\?\\unc\\") == 0)
        path = "\\" + path.substr(7);  // "\\?\UNC\server\share" is "\\server\share"
    else if (path.compare(0, 4, "\\\\?\\") == 0)
        path = path.substr(4);
    return !path.empty() && path == Normalised(folder);
}

bool MayRemoveFrom(const std::string& folder, const FolderFacts& facts, const ProtectedFolders& protectedFolders) {
    return (facts.attributes & kAttributeDirectory) && !(facts.attributes & kAttributeReparsePoint) &&
           !IsProtectedFolder(folder, protectedFolders) && IsSameFolder(folder, facts.finalPath);
}

bool MayDeleteFile(const std::string& name, uint32_t attributes) {
    return !(attributes & (kAttributeDirectory | kAttributeReparsePoint)) && IsProgramFileName(name);
}

}  // namespace zelvaro
