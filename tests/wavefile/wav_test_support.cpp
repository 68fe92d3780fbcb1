#include "wavefile/wav_test_support.h"

#include <atomic>
#include <fstream>
#include <iterator>
#include <random>

namespace zelvaro::test {

TempDir::TempDir() {
    static std::atomic<int> counter{0};
    std::random_device rd;
    dir_ = std::filesystem::temp_directory_path() /
           ("zelvaro-wav-" + std::to_string(rd()) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(dir_);
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
}

void writeFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes readHead(const std::string& path, size_t count) {
    std::ifstream in(path, std::ios::binary);
    Bytes b(count);
    in.read(reinterpret_cast<char*>(b.data()), static_cast<std::streamsize>(count));
    b.resize(static_cast<size_t>(in.gcount()));
    return b;
}

bool fileExists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(path, ec);
}

void put16(Bytes& b, uint32_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}

void put32(Bytes& b, uint32_t v) {
    put16(b, v);
    put16(b, v >> 16);
}

void putId(Bytes& b, const char* id) { b.insert(b.end(), id, id + 4); }

uint16_t get16(const Bytes& b, size_t at) { return static_cast<uint16_t>(b.at(at) | (b.at(at + 1) << 8)); }

uint32_t get32(const Bytes& b, size_t at) { return get16(b, at) | (static_cast<uint32_t>(get16(b, at + 2)) << 16); }

Bytes chunk(const char* id, const Bytes& content, int64_t sizeField) {
    Bytes b;
    putId(b, id);
    put32(b, sizeField >= 0 ? static_cast<uint32_t>(sizeField) : static_cast<uint32_t>(content.size()));
    b.insert(b.end(), content.begin(), content.end());
    if (content.size() % 2) b.push_back(0);
    return b;
}

Bytes pcmFormat(uint16_t channels, uint32_t rate, uint16_t bits) {
    Bytes b;
    uint16_t align = static_cast<uint16_t>(channels * ((bits + 7) / 8));
    put16(b, 1);             // format tag: PCM
    put16(b, channels);      // channels
    put32(b, rate);          // samples per second
    put32(b, align * rate);  // average bytes per second
    put16(b, align);         // block align
    put16(b, bits);          // bits per sample
    return b;
}

Bytes riffWave(const Bytes& chunks) {
    Bytes b;
    putId(b, "RIFF");
    put32(b, static_cast<uint32_t>(chunks.size() + 4));
    putId(b, "WAVE");
    b.insert(b.end(), chunks.begin(), chunks.end());
    return b;
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes b;
    for (const Bytes& p : parts) b.insert(b.end(), p.begin(), p.end());
    return b;
}

Bytes samples16(std::initializer_list<int> values) {
    Bytes b;
    for (int v : values) put16(b, static_cast<uint32_t>(v));
    return b;
}

}  // namespace zelvaro::test
