// The files one run of a command writes, as one transaction: every output is
// checked against the run's inputs and against the other outputs before
// anything is written, each is written under a temporary name beside its
// target, and all take their names together only once all are complete. A
// refusal or a failure at any point leaves every file that was there as it
// was and no temporary file behind.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zelvaro::cli {

// True when `a` and `b` name the same file: the same existing file (a link
// and its target, two spellings of one path), or, for a name not yet there,
// the same normalised path (letters compared without case on Windows).
bool sameFile(const std::string& a, const std::string& b);

class OutputSet {
public:
    OutputSet() = default;
    // Removes every temporary file not committed.
    ~OutputSet();
    OutputSet(const OutputSet&) = delete;
    OutputSet& operator=(const OutputSet&) = delete;

    // A file the run reads, with its role for messages ("the recording").
    void addInput(const std::string& path, const std::string& role);
    // A file the run writes, with its role ("the impulse response"); returns
    // its index for write(). `standardOutputAllowed`: "-" may stand for
    // standard output (a single WAV output); otherwise check() refuses "-".
    size_t addOutput(const std::string& path, const std::string& role, bool standardOutputAllowed = false);

    // Empty when every output can be written; else the reason, naming both
    // files or the system's reason. `refused` tells a request that collides
    // (the user's to change: exit 2) from a file that cannot be written
    // (exit 1). Touches nothing.
    std::string check(bool& refused) const;

    // Writes output `index` under its temporary name (or to standard output);
    // false with `error` set on failure.
    bool write(size_t index, const std::vector<uint8_t>& bytes, std::string& error);
    // Gives every written output its name. Targets that existed are moved
    // aside first and put back if any later step fails, so that either all
    // outputs are in place or none is; false with `error` set then.
    bool commit(std::string& error);

    // The name of output `index` as given ("-" for standard output).
    const std::string& path(size_t index) const { return outputs_[index].path; }

private:
    struct Input {
        std::string path;
        std::string role;
    };
    struct Output {
        std::string path;
        std::string role;
        bool standardOutputAllowed = false;
        std::string target;  // the file replaced: the path, or the file a link leads to
        std::string temp;    // written, not yet committed
        std::string aside;   // the old target while the set is committed
        bool placed = false;
    };
    void rollBack(size_t placedUpTo);
    // Ctrl+C is held off from the first write to the end of the commit: a
    // stop there would leave temporary files, or targets moved aside.
    void holdInterrupts();
    void releaseInterrupts();

    std::vector<Input> inputs_;
    std::vector<Output> outputs_;
    bool committed_ = false;
    bool holding_ = false;
    void (*previousInterrupt_)(int) = nullptr;
};

}  // namespace zelvaro::cli
