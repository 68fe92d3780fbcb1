// The install and uninstall roles of the executable, chosen at start by the
// marker at the end of its file. Each returns the process's exit code.
#pragma once

namespace zelvaro {

int RunInstall();
int RunUninstall();

// True when the command line holds more than the program's own name.
bool HasCommandLineArgument(const char* commandLine);

}  // namespace zelvaro
