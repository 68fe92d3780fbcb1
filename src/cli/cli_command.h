// The subcommands of zelvaro-render. Each lives in a file of its own and is
// listed once in the table of render_cli_main.cpp.
#pragma once

#include <string>
#include <vector>

namespace zelvaro::measure {
struct ChannelLevels;
}

namespace zelvaro::cli {

// Exit codes shared by every subcommand.
enum ExitCode {
    kExitOk = 0,
    kExitFailed = 1,     // a file is missing, unreadable, rejected or cannot be written
    kExitRefused = 2,    // bad usage, or a request that cannot be done (no duration, too long)
    kExitCancelled = 130,  // interrupted with Ctrl+C; what was rendered so far is kept
};

struct Command {
    const char* name;
    const char* usage;    // arguments after the name
    const char* summary;  // one line for --help
    // Gets the arguments after the command's name; returns an ExitCode.
    int (*run)(const std::vector<std::string>& args);
};

int runRender(const std::vector<std::string>& args);
int runConvert(const std::vector<std::string>& args);
int runInfo(const std::vector<std::string>& args);
int runAnalyze(const std::vector<std::string>& args);

// The levels block of info --levels and analyze, one line per channel.
void printLevels(const std::vector<measure::ChannelLevels>& channels);
int runSweep(const std::vector<std::string>& args);
int runDeconvolve(const std::vector<std::string>& args);

// "zelvaro-render: " + message, on stderr.
void printError(const std::string& message);

}  // namespace zelvaro::cli
