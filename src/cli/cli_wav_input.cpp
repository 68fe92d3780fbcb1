#include "cli/cli_wav_input.h"

#include "cli/cli_command.h"
#include "wavefile/file_stream.h"
#include "wavefile/wav_file.h"

namespace zelvaro::cli {

int openWavInput(const std::string& path, SoundSourceRef& source, WaveFormat& format) {
    if (!FileStream::openForReading(path.c_str()).isOpen()) {
        printError("cannot read " + path + " (missing or unreadable)");
        return kExitFailed;
    }
    source = openWavSource(path.c_str(), &format);
    if (!source) {
        printError(path + " is not a WAV file that can be read (no RIFF WAVE form, or a missing, damaged or "
                          "unsupported \"fmt \" or \"data\" chunk)");
        return kExitFailed;
    }
    return kExitOk;
}

}  // namespace zelvaro::cli
