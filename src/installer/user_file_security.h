// The two files of the program's folder that every user must write: the tone
// kept between runs and the settings. They get rights of their own; the
// folder keeps the ones the system gives it (administrators write, users read
// and run), so that no user can replace the program, add a library beside it
// or make the folder lead elsewhere.
#pragma once

#include <windows.h>

namespace zelvaro {

// "Current.tdf" and "settings.ini".
extern const char* const kUserWritableFiles[2];

class UserFileSecurity {
public:
    UserFileSecurity();
    ~UserFileSecurity();

    UserFileSecurity(const UserFileSecurity&) = delete;
    UserFileSecurity& operator=(const UserFileSecurity&) = delete;

    // False when any step of building the access list failed.
    bool built() const { return built_; }
    // One entry, not inherited by anything: the users group may read and
    // write the file's data and attributes, but neither delete nor rename
    // it, nor change its rights or owner.
    PACL accessList() { return reinterpret_cast<PACL>(aclBuffer_); }

    // Creates `path` empty unless it exists (an existing file keeps its
    // bytes), then adds the entry to the rights it inherits. False when the
    // file cannot be made or its rights not set.
    bool Grant(const char* path);

private:
    alignas(DWORD) BYTE aclBuffer_[256];
    alignas(DWORD) BYTE usersSid_[SECURITY_MAX_SID_SIZE];
    bool built_ = false;
};

}  // namespace zelvaro
