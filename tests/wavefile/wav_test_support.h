// Temporary files and little-endian byte building for the wave file tests.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace zelvaro::test {

using Bytes = std::vector<uint8_t>;

// A fresh folder under the system's temporary folder, removed with its content.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string path(const std::string& name) const { return (dir_ / name).string(); }

private:
    std::filesystem::path dir_;
};

void writeFile(const std::string& path, const Bytes& bytes);
Bytes readFile(const std::string& path);
// The first `count` bytes of a file (fewer when it is shorter).
Bytes readHead(const std::string& path, size_t count);
bool fileExists(const std::string& path);

void put16(Bytes& b, uint32_t v);
void put32(Bytes& b, uint32_t v);
void putId(Bytes& b, const char* id);
uint16_t get16(const Bytes& b, size_t at);
uint32_t get32(const Bytes& b, size_t at);

// A chunk: id, size field (the content's size unless given), content, pad byte
// after odd content.
Bytes chunk(const char* id, const Bytes& content, int64_t sizeField = -1);
// The 16 bytes of a PCM format record.
Bytes pcmFormat(uint16_t channels, uint32_t rate, uint16_t bits);
// "RIFF" size "WAVE" followed by `chunks`.
Bytes riffWave(const Bytes& chunks);
Bytes concat(std::initializer_list<Bytes> parts);
// Little-endian 16-bit samples.
Bytes samples16(std::initializer_list<int> values);

}  // namespace zelvaro::test
