// Where a program takes the system's libraries from.
#pragma once

namespace zelvaro {

// Called first thing in a program's entry point: from here on, libraries are
// loaded from the system folder only, never from the program's own folder or
// the current one. The libraries that the loader would otherwise look for in
// the program's folder before the system's (the sound, codec, version and
// common control libraries) are bound at their first use, after this call,
// when the program links zelvaro_startup; the others are the system's known
// libraries, which it always takes from its own folder. A setup file started
// from a downloads folder, or the uninstaller's copy in the temporary folder,
// thus never runs a library that someone put beside it.
void LoadLibrariesFromSystemFolderOnly();

}  // namespace zelvaro
