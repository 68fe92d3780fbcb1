// make_setup OUTPUT PAYLOAD...: writes the setup file, the first payload
// being the program's executable.
#include <cstdio>
#include <string>
#include <vector>

#include "installer/setup_layout.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: make_setup OUTPUT PROGRAM.exe [FILE...]\n");
        return 2;
    }
    std::vector<std::string> payloads(argv + 2, argv + argc);
    std::string error;
    if (!zelvaro::WriteSetupFile(argv[1], payloads, error)) {
        std::fprintf(stderr, "make_setup: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
