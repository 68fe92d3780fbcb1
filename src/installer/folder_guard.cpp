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

}  // namespace

bool IsProtectedFolder(const std::string& folder, const std::vector<std::string>& protectedFolders) {
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
        if (part.empty() || part == "." || part == ".." || part.find_first_not_of(" .") == std::string::npos)
            return true;
    }
    for (const std::string& other : protectedFolders) {
        const std::string normalisedOther = Normalised(other);
        if (!normalisedOther.empty() && IsAncestorOrSame(path, normalisedOther))
            return true;
    }
    return false;
}

}  // namespace zelvaro
