#include "installer/setup_layout.h"

#include "installer/execution_level.h"

#include <cstdio>
#include <memory>

#include "base/little_endian.h"

namespace zelvaro {

uint32_t AddPayloadBytes(uint32_t sum, const uint8_t* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i)
        sum += bytes[i];
    return sum;
}

std::vector<uint8_t> SetupTrailer(const std::vector<uint32_t>& sizes, uint32_t payloadSum) {
    std::vector<uint8_t> trailer((sizes.size() + 2) * 4);
    uint8_t* out = trailer.data();
    for (uint32_t size : sizes) {
        putLe32(out, size);
        out += 4;
    }
    putLe32(out, payloadSum);
    putLe32(out + 4, kSetupMarkerInstall);
    return trailer;
}

bool ReadSetupTrailer(const uint8_t* tail, size_t entries, uint64_t fileSize,
                      SetupTrailerFields& fields) {
    const uint64_t trailerSize = (static_cast<uint64_t>(entries) + 2) * 4;
    if (fileSize < trailerSize)
        return false;
    fields.sizes.clear();
    uint64_t total = 0;
    for (size_t i = 0; i < entries; ++i) {
        fields.sizes.push_back(getLe32(tail + i * 4));
        total += fields.sizes.back();
    }
    fields.payloadSum = getLe32(tail + entries * 4);
    return total == fileSize - trailerSize;
}

namespace {

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<FILE, FileCloser>;

bool WriteBlock(const uint8_t* bytes, size_t count, FILE* out, uint32_t& sum, std::string& error) {
    sum = AddPayloadBytes(sum, bytes, count);
    if (std::fwrite(bytes, 1, count, out) != count) {
        error = "write error";
        return false;
    }
    return true;
}

// Appends one payload file to out; its size and byte sum come back. The
// program, which is also the setup file's own executable, goes in with its
// execution level raised: whoever runs the setup file is asked for the
// rights it needs (the install lowers it again in the copy it installs).
bool CopyPayload(const std::string& path, bool isProgram, FILE* out, uint32_t& size, uint32_t& sum,
                 std::string& error) {
    File in(std::fopen(path.c_str(), "rb"));
    if (!in) {
        error = "cannot open " + path;
        return false;
    }
    uint64_t copied = 0;
    std::vector<uint8_t> program;
    uint8_t buffer[65536];
    for (;;) {
        const size_t got = std::fread(buffer, 1, sizeof buffer, in.get());
        if (got == 0)
            break;
        copied += got;
        if (copied > 0xFFFFFFFFu) {
            error = path + " is too large for a payload (4 GiB at most)";
            return false;
        }
        if (isProgram)
            program.insert(program.end(), buffer, buffer + got);
        else if (!WriteBlock(buffer, got, out, sum, error))
            return false;
    }
    if (std::ferror(in.get())) {
        error = "read error in " + path;
        return false;
    }
    if (isProgram) {
        if (!setExecutionLevel(program, ExecutionLevel::kRequireAdministrator)) {
            error = path + " carries no manifest whose execution level can be raised";
            return false;
        }
        if (!WriteBlock(program.data(), program.size(), out, sum, error))
            return false;
    }
    size = static_cast<uint32_t>(copied);
    return true;
}

bool WriteAll(const std::string& output, const std::vector<std::string>& payloads,
              std::string& error) {
    File out(std::fopen(output.c_str(), "wb"));
    if (!out) {
        error = "cannot create " + output;
        return false;
    }
    std::vector<uint32_t> sizes;
    uint32_t sum = 0;
    for (const std::string& payload : payloads) {
        uint32_t size = 0;
        if (!CopyPayload(payload, sizes.empty(), out.get(), size, sum, error))
            return false;
        sizes.push_back(size);
    }
    const std::vector<uint8_t> trailer = SetupTrailer(sizes, sum);
    if (std::fwrite(trailer.data(), 1, trailer.size(), out.get()) != trailer.size() ||
        std::fclose(out.release()) != 0) {
        error = "write error in " + output;
        return false;
    }
    return true;
}

}  // namespace

bool WriteSetupFile(const std::string& output, const std::vector<std::string>& payloads,
                    std::string& error) {
    for (const std::string& payload : payloads) {
        if (payload == output) {
            error = "the output would overwrite the payload " + payload;
            return false;
        }
    }
    if (WriteAll(output, payloads, error))
        return true;
    std::remove(output.c_str());
    return false;
}

}  // namespace zelvaro
