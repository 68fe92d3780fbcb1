#include "app/settings/shared_folder_security.h"

namespace zelvaro {

SharedFolderSecurity::SharedFolderSecurity() {
    PACL acl = accessList();
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    built_ = InitializeAcl(acl, sizeof aclBuffer_, ACL_REVISION) &&
             AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone_) &&
             AddAccessAllowedAceEx(acl, ACL_REVISION, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE,
                                   GENERIC_ALL, everyone_) &&
             InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) &&
             SetSecurityDescriptorDacl(&descriptor_, TRUE, acl, FALSE);
    attributes_.nLength = sizeof attributes_;
    attributes_.lpSecurityDescriptor = &descriptor_;
    attributes_.bInheritHandle = FALSE;
}

SharedFolderSecurity::~SharedFolderSecurity() {
    if (everyone_ != nullptr)
        FreeSid(everyone_);
}

}  // namespace zelvaro
