// What the command-line tool needs to know about its console.
#pragma once

#include <cstdio>

namespace zelvaro::cli {

// True when the stream is an interactive terminal (not a file or a pipe).
bool isTerminal(std::FILE* stream);

// While it lives, a Windows console that shows the tool's output or messages
// takes them as UTF-8, the tool's own code page (its manifest asks for it),
// so that file names outside the console's code page show as they are; the
// console gets its code page back at the end. Files and pipes get the same
// UTF-8 bytes either way, so that scripts read the names exactly. Nothing
// changes elsewhere.
class Utf8Console {
public:
    Utf8Console();
    ~Utf8Console();
    Utf8Console(const Utf8Console&) = delete;
    Utf8Console& operator=(const Utf8Console&) = delete;

private:
    unsigned previousCodePage_ = 0;  // 0: nothing was changed
};

}  // namespace zelvaro::cli
