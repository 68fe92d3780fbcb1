// The install and uninstall roles of the executable. Until the installer is
// built, both end at once without doing anything.
#include "app/program_role.h"

namespace zelvaro {

int runInstallRole() { return 0; }

int runUninstallRole() { return 0; }

}  // namespace zelvaro
