#include "installer/user_file_security.h"

#include <aclapi.h>

namespace zelvaro {

const char* const kUserWritableFiles[2] = {"Current.tdf", "settings.ini"};

namespace {

constexpr DWORD kUserFileRights = FILE_GENERIC_READ | FILE_GENERIC_WRITE;

}  // namespace

UserFileSecurity::UserFileSecurity() {
    DWORD sidSize = sizeof usersSid_;
    built_ = CreateWellKnownSid(WinBuiltinUsersSid, nullptr, usersSid_, &sidSize) &&
             InitializeAcl(accessList(), sizeof aclBuffer_, ACL_REVISION) &&
             AddAccessAllowedAceEx(accessList(), ACL_REVISION, 0, kUserFileRights, usersSid_);
}

UserFileSecurity::~UserFileSecurity() = default;

bool UserFileSecurity::Grant(const char* path) {
    if (!built_)
        return false;
    HANDLE file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    // Unprotected: the entries the folder passes on (administrators, the
    // system) stay beside this one.
    return SetNamedSecurityInfoA(const_cast<char*>(path), SE_FILE_OBJECT,
                                 DACL_SECURITY_INFORMATION | UNPROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                                 nullptr, accessList(), nullptr) == ERROR_SUCCESS;
}

}  // namespace zelvaro
