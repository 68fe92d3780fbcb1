// The folder the program runs from, taken once at start-up. Current.tdf and
// the help file are named from it: the current directory cannot be trusted
// for them, since the open-file dialog moves it to the folder the user
// browsed to whatever its flags ask.
#pragma once

#include <string>

namespace zelvaro {

// The files kept beside the program: the last tone between runs, and help.
constexpr char kCurrentToneFile[] = "Current.tdf";
constexpr char kHelpFile[] = "tone.hlp";

// Makes `folder` the program's folder: the running executable's, given by
// chooseProgramRole at start-up, or a test's stand-in for it.
void setProgramFolder(const std::string& folder);

// The full path of `name` in the program's folder; `name` alone when the
// folder is not known.
std::string programFile(const char* name);

}  // namespace zelvaro
