// The install and uninstall roles of the executable: the installer's runs.
#include "app/program_role.h"
#include "installer/setup_roles.h"

namespace zelvaro {

int runInstallRole() { return RunInstall(); }

int runUninstallRole() { return RunUninstall(); }

}  // namespace zelvaro
