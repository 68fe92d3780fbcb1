// The security given to the program folder when it is created: an access
// list with one entry allowing the world group all access, inherited by the
// files and folders made in it, so that every user of the machine can write
// the settings there.
#pragma once

#include <windows.h>

namespace zelvaro {

class SharedFolderSecurity {
public:
    SharedFolderSecurity();
    ~SharedFolderSecurity();

    SharedFolderSecurity(const SharedFolderSecurity&) = delete;
    SharedFolderSecurity& operator=(const SharedFolderSecurity&) = delete;

    // False when any step of building the descriptor failed; the folder is
    // then created with default security.
    bool built() const { return built_; }
    // The attributes to create the folder with, or null when not built.
    SECURITY_ATTRIBUTES* attributes() { return built_ ? &attributes_ : nullptr; }
    PACL accessList() { return reinterpret_cast<PACL>(aclBuffer_); }

private:
    alignas(DWORD) BYTE aclBuffer_[1024];
    PSID everyone_ = nullptr;
    SECURITY_DESCRIPTOR descriptor_;
    SECURITY_ATTRIBUTES attributes_;
    bool built_ = false;
};

}  // namespace zelvaro
