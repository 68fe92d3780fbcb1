// File names for other processes that read them in the system's code page,
// not in the programs' UTF-8: the WinHelp viewer, and Program Manager's
// conversation under Wine, which takes a command outside plain ASCII for a
// narrow one however it is sent.
#pragma once

#include <string>

namespace zelvaro {

// `path` (UTF-8) itself when it is plain ASCII, else its short (8.3) form
// when that is; empty when there is none such (a volume without short names,
// or a file that does not exist).
std::string AsciiPathOf(const std::string& path);

}  // namespace zelvaro
