#include "base/path_size.h"

#include <windows.h>

namespace zelvaro {

size_t PathUnits(const std::string& path) {
    if (path.empty())
        return 0;
    const int units = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, path.data(), static_cast<int>(path.size()),
                                          nullptr, 0);
    return units > 0 ? static_cast<size_t>(units) : path.size();
}

}  // namespace zelvaro
