// zelvaro-render: renders tone files to WAV files, converts WAV files and
// describes them, with the same generators, adapters and writer as the
// program's Save As Wav.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/cli_command.h"

namespace zelvaro::cli {

#ifdef _WIN32
int runPlay(const std::vector<std::string>& args);
#endif

namespace {

// One row per subcommand; a platform-only command adds its row here under
// its platform's condition.
const Command kCommands[] = {
    {"render", "TONE.tdf OUT.wav [--rate HZ] [--channels 1|2] [--bits 8|16|32] [--format F] [--seed N]",
     "render a tone file of fixed duration to a WAV file (defaults: the tone's rate and channels, 16-bit PCM)",
     runRender},
    {"convert", "IN.wav OUT.wav [--rate HZ] [--channels 1|2] [--bits 8|16|32] [--format F]",
     "convert a WAV file (defaults: the input's rate and channels, 16-bit PCM)", runConvert},
    {"info", "IN.wav", "show the format and length of a WAV file", runInfo},
#ifdef _WIN32
    {"play", "TONE.tdf [--device N] [--volume DB] [--seconds S]",
     "play a tone file until a tone of fixed duration ends, S seconds pass or Ctrl+C", runPlay},
#endif
};

void printHelp(std::FILE* out) {
    std::fprintf(out, "usage:\n");
    for (const Command& c : kCommands) std::fprintf(out, "  zelvaro-render %s %s\n", c.name, c.usage);
    std::fprintf(out, "  zelvaro-render --help\n\n");
    for (const Command& c : kCommands) std::fprintf(out, "%-8s %s\n", c.name, c.summary);
    std::fprintf(out,
                 "\n--rate is 1 to 192000 frames per second; --seed (0 to 4294967295) fixes the noise of a noise "
                 "tone.\n"
                 "--format is pcm, or ima-adpcm, alaw, mulaw or gsm for a compressed file with the details its\n"
                 "codec suggests for the rate and channels (a lower standard rate or one channel when the codec\n"
                 "offers nothing else and --rate or --channels was not given), or choose for the system's format\n"
                 "chooser. Compressed files are read and written through the installed codecs (Windows only).\n"
                 "\nOUT.wav may be - for standard output; messages and progress go to standard error. A file is\n"
                 "written under a temporary name in its folder and takes its name only when complete, so a\n"
                 "failure never replaces a file that was there. Ctrl+C stops a render; what was written so far\n"
                 "is kept as a valid file unless that would replace a file that was there. Written to a pipe,\n"
                 "the header states the exact length, which is known before the first frame; a stream of\n"
                 "unknown length would get RIFF and data sizes of 0xFFFFFFFF, as is usual for streams.\n"
                 "\nexit codes: 0 done; 1 a file is missing, unreadable, not an acceptable WAV file or cannot be "
                 "written;\n            2 bad usage, or a request that cannot be done; 130 interrupted.\n");
}

}  // namespace

int run(int argc, char** argv) {
#ifdef SIGXFSZ
    // A file-size limit then fails the write, which is reported, instead of
    // killing the tool with a file half written.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    if (argc < 2) {
        printHelp(stderr);
        return kExitRefused;
    }
    const std::string name = argv[1];
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) break;
        if (std::strcmp(argv[i], "--help") == 0 || (i == 1 && (name == "-h" || name == "help"))) {
            printHelp(stdout);
            return kExitOk;
        }
    }
    for (const Command& c : kCommands) {
        if (name == c.name) return c.run(std::vector<std::string>(argv + 2, argv + argc));
    }
    printError("unknown command \"" + name + "\" (see zelvaro-render --help)");
    return kExitRefused;
}

}  // namespace zelvaro::cli

int main(int argc, char** argv) { return zelvaro::cli::run(argc, argv); }
