#include "cli/cli_output_set.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <system_error>

#include "cli/cli_output_file.h"
#include "cli/terminal.h"
#include "wavefile/file_stream.h"

namespace zelvaro::cli {

namespace fs = std::filesystem;

namespace {

// The path as the system resolves it, for names that are not there yet.
std::string normalised(const std::string& path) {
    std::error_code ec;
    fs::path resolved = fs::weakly_canonical(path, ec);
    if (ec) resolved = fs::absolute(path, ec).lexically_normal();
    std::string text = resolved.lexically_normal().string();
#ifdef _WIN32
    std::replace(text.begin(), text.end(), '/', '\\');
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    // Windows drops the dots and blanks that end a name: "a.wav." and
    // "a.wav " are a.wav.
    std::string kept;
    for (size_t at = 0; at <= text.size(); ++at) {
        if (at == text.size() || text[at] == '\\') {
            const size_t start = kept.rfind('\\') == std::string::npos ? 0 : kept.rfind('\\') + 1;
            const std::string name = kept.substr(start);
            if (name != "." && name != "..")
                while (kept.size() > start && (kept.back() == '.' || kept.back() == ' ')) kept.pop_back();
            if (at < text.size()) kept += '\\';
        } else {
            kept += text[at];
        }
    }
    text = kept;
#endif
    return text;
}

// A name beside `target` that nothing uses yet.
std::string freeName(const std::string& target, const char* kind) {
    static unsigned counter = 0;
    std::error_code ec;
    for (;;) {
        std::string name =
            target + "." + std::to_string(processId()) + "." + std::to_string(counter++) + "." + kind;
        if (!fs::exists(fs::symlink_status(name, ec))) return name;
    }
}

// The folder a file of `path` would be made in.
fs::path folderOf(const std::string& path) {
    const fs::path parent = fs::path(path).parent_path();
    return parent.empty() ? fs::path(".") : parent;
}

bool writeAll(FileStream& stream, const std::vector<uint8_t>& bytes) {
    constexpr size_t kChunk = 1u << 24;
    for (size_t at = 0; at < bytes.size(); at += kChunk) {
        const size_t n = std::min(kChunk, bytes.size() - at);
        if (!stream.write(bytes.data() + at, static_cast<uint32_t>(n))) return false;
    }
    return true;
}

}  // namespace

bool sameFile(const std::string& a, const std::string& b) {
    if (a == "-" || b == "-") return a == b;
    std::error_code ea, eb;
    if (fs::exists(a, ea) && fs::exists(b, eb)) {
        std::error_code ec;
        const bool same = fs::equivalent(a, b, ec);
        if (!ec) return same;
    }
    return normalised(a) == normalised(b);
}

OutputSet::~OutputSet() {
    std::error_code ec;
    for (const Output& out : outputs_)
        if (!out.temp.empty() && !out.placed) fs::remove(out.temp, ec);
    releaseInterrupts();
}

void OutputSet::holdInterrupts() {
    if (holding_) return;
    previousInterrupt_ = std::signal(SIGINT, SIG_IGN);
    holding_ = true;
}

void OutputSet::releaseInterrupts() {
    if (!holding_) return;
    std::signal(SIGINT, previousInterrupt_ == SIG_ERR ? SIG_DFL : previousInterrupt_);
    holding_ = false;
}

void OutputSet::addInput(const std::string& path, const std::string& role) { inputs_.push_back({path, role}); }

size_t OutputSet::addOutput(const std::string& path, const std::string& role, bool standardOutputAllowed) {
    Output out;
    out.path = path;
    out.role = role;
    out.standardOutputAllowed = standardOutputAllowed;
    out.target = path;
    std::error_code ec;
    // A link stays a link: the file it leads to is replaced.
    if (path != "-" && fs::is_symlink(fs::symlink_status(path, ec))) {
        const fs::path resolved = fs::canonical(path, ec);
        if (!ec) out.target = resolved.string();
    }
    outputs_.push_back(out);
    return outputs_.size() - 1;
}

std::string OutputSet::check(bool& refused) const {
    refused = true;
    for (size_t i = 0; i < outputs_.size(); ++i) {
        const Output& out = outputs_[i];
        if (out.path == "-") {
            if (!out.standardOutputAllowed || outputs_.size() > 1)
                return "- (standard output) cannot be " + out.role +
                       ": only a run that writes a single WAV file may write it to standard output";
            if (isTerminal(stdout))
                return "will not write a WAV file to the terminal; redirect standard output to a file or a pipe";
            continue;
        }
        for (const Input& in : inputs_)
            if (sameFile(out.path, in.path))
                return "will not write " + out.role + " (" + out.path + ") over " + in.role + " (" + in.path +
                       "): choose another name";
        for (size_t j = 0; j < i; ++j)
            if (sameFile(out.path, outputs_[j].path))
                return out.role + " (" + out.path + ") and " + outputs_[j].role + " (" + outputs_[j].path +
                       ") would be the same file: choose another name";
    }
    refused = false;
    for (const Output& out : outputs_) {
        if (out.path == "-") continue;
        std::error_code ec;
        const fs::file_status status = fs::status(out.path, ec);
        if (fs::is_directory(status)) return "cannot write " + out.path + ": it is a folder";
        if (fs::exists(status) && !fs::is_regular_file(status))
            return "cannot write " + out.path + ": it is not a plain file (a device or a pipe)";
        const fs::file_status folder = fs::status(folderOf(out.target), ec);
        if (!fs::exists(folder)) return "cannot write " + out.path + ": no such folder";
        if (!fs::is_directory(folder)) return "cannot write " + out.path + ": " + folderOf(out.path).string() + " is not a folder";
    }
    return "";
}

bool OutputSet::write(size_t index, const std::vector<uint8_t>& bytes, std::string& error) {
    holdInterrupts();
    Output& out = outputs_[index];
    if (out.path == "-") {
        FileStream stream = FileStream::openStandardOutput();
        if (!writeAll(stream, bytes)) {
            error = "writing standard output failed: " + FileStream::describeError(stream.lastError());
            return false;
        }
        return true;
    }
    if (out.temp.empty()) out.temp = freeName(out.target, "tmp");
    FileStream stream = FileStream::openForWriting(out.temp.c_str());
    bool ok = stream.isOpen() && stream.cutHere() && writeAll(stream, bytes) && stream.flush();
    int code = stream.lastError();
    ok = stream.close() && ok;
    if (code == 0) code = stream.lastError();
    if (!ok) {
        error = "cannot write " + out.path + ": " + FileStream::describeError(code);
        std::error_code ec;
        fs::remove(out.temp, ec);
        out.temp.clear();
        return false;
    }
    return true;
}

void OutputSet::rollBack(size_t placedUpTo) {
    std::error_code ec;
    for (size_t i = 0; i < placedUpTo; ++i) {
        Output& out = outputs_[i];
        if (out.placed) {
            // The new file goes back to its temporary name (removed below).
            moveOver(out.target, out.temp);
            out.placed = false;
        }
    }
    for (Output& out : outputs_) {
        if (!out.aside.empty() && moveOver(out.aside, out.target) == 0) out.aside.clear();
        if (!out.temp.empty()) fs::remove(out.temp, ec);
    }
}

bool OutputSet::commit(std::string& error) {
    if (committed_) return true;
    std::error_code ec;
    // Old targets out of the way first, so that each can be put back.
    for (Output& out : outputs_) {
        if (out.temp.empty() || !fs::exists(fs::symlink_status(out.target, ec))) continue;
        out.aside = freeName(out.target, "old");
        if (const int code = moveOver(out.target, out.aside)) {
            out.aside.clear();
            error = "cannot replace " + out.path + ": " + FileStream::describeError(code);
            rollBack(0);
            return false;
        }
    }
    for (size_t i = 0; i < outputs_.size(); ++i) {
        Output& out = outputs_[i];
        if (out.temp.empty()) continue;
        if (const int code = moveOver(out.temp, out.target)) {
            error = "cannot replace " + out.path + ": " + FileStream::describeError(code) +
                    "; every file was left as it was";
            rollBack(i);
            return false;
        }
        out.placed = true;
    }
    for (Output& out : outputs_)
        if (!out.aside.empty()) fs::remove(out.aside, ec);
    committed_ = true;
    releaseInterrupts();
    return true;
}

}  // namespace zelvaro::cli
