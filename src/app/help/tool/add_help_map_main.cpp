// add_help_map FILE.hlp NUMBER=TOPIC...: gives the help file's topics the
// context numbers that programs open them by.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/help/tool/help_context_map.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: add_help_map FILE.hlp NUMBER=TOPIC...\n");
        return 2;
    }
    std::vector<zelvaro::HelpContext> contexts;
    for (int i = 2; i < argc; ++i) {
        const std::string argument = argv[i];
        const size_t equals = argument.find('=');
        char* end = nullptr;
        const unsigned long number = std::strtoul(argument.c_str(), &end, 10);
        if (equals == std::string::npos || end != argument.c_str() + equals || equals == 0 ||
            number > 0xFFFFFFFFul) {
            std::fprintf(stderr, "add_help_map: expected NUMBER=TOPIC, got %s\n", argv[i]);
            return 2;
        }
        contexts.push_back({static_cast<uint32_t>(number), argument.substr(equals + 1)});
    }
    std::vector<uint8_t> help;
    {
        std::ifstream in(argv[1], std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "add_help_map: cannot open %s\n", argv[1]);
            return 1;
        }
        help.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::string error;
    if (!zelvaro::AddHelpContextMap(help, contexts, error)) {
        std::fprintf(stderr, "add_help_map: %s: %s\n", argv[1], error.c_str());
        return 1;
    }
    const std::string temporary = std::string(argv[1]) + ".tmp";
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(help.data()), static_cast<std::streamsize>(help.size()));
    out.close();
    if (!out || std::rename(temporary.c_str(), argv[1]) != 0) {
        std::remove(temporary.c_str());
        std::fprintf(stderr, "add_help_map: cannot write %s\n", argv[1]);
        return 1;
    }
    // Say where each number now leads, as a viewer would find it.
    std::vector<std::pair<uint32_t, uint32_t>> map;
    zelvaro::ReadHelpContextMap(help, map);
    for (const auto& entry : map) {
        std::string title;
        zelvaro::FindHelpTopicTitle(help, entry.second, title);
        std::printf("context %u: %s\n", static_cast<unsigned>(entry.first), title.c_str());
    }
    return 0;
}
