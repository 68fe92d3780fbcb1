// Where a render's WAV file goes. "-" is standard output; a pipe, a device or
// a descriptor's name is written in place; any other name is written under a
// temporary name in the same folder, which takes the real name only once the
// file is complete, so that no failure and no Ctrl+C destroys a file that was
// there.
#pragma once

#include <string>

#include "wavefile/sound_sink.h"
#include "wavefile/wav_header.h"
#include "wavefile/pure_wav_sink.h"

namespace zelvaro::cli {

class OutputFile {
public:
    // Looks at what `path` names now; touches nothing.
    explicit OutputFile(std::string path);
    // Removes the temporary file unless it was committed.
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // The name for messages: the path, or "standard output".
    const std::string& name() const { return name_; }
    // True when the output goes through a temporary file.
    bool replacesWhole() const { return !temp_.empty(); }
    // True when a file of the name was there before.
    bool existed() const { return existed_; }

    // A PCM writer on the output (failed, with its systemError, when the
    // output cannot be opened).
    SoundSinkRef createSink(int32_t sampleRate, uint16_t bitsPerSample, uint8_t channels);
    // A writer of 24-bit, float or dithered samples on the output.
    PureWavSinkRef createSink(const PureWavFormat& format);
    // A writer of a compressed format on the output (never standard output).
    SoundSinkRef createSink(const WaveFormat& compressed);
    // Gives the finished temporary file the output's name; 0 on success, or
    // the system's error code (the temporary file is then removed).
    int commit();
    // Drops what was written: the temporary file is removed; an output
    // written in place that is a regular file is cut to nothing, so that no
    // short file is left looking complete. True when something was removed
    // or cut.
    bool discard();

private:
    std::string path_;
    std::string name_;
    std::string target_;  // what the temporary file replaces (a link's target)
    std::string temp_;
    bool existed_ = false;
    bool standardOutput_ = false;
    bool committed_ = false;
};

// Platform parts (cli_output_file_posix.cpp, cli_output_file_win.cpp).
// True for names that stand for a device or a descriptor rather than a file
// in a folder (/dev/..., /proc/...; NUL, CON and the like on Windows).
bool isDeviceName(const std::string& path);
// Moves `from` over `to`, replacing it; 0 or the system's error code.
int moveOver(const std::string& from, const std::string& to);
unsigned long processId();

}  // namespace zelvaro::cli
