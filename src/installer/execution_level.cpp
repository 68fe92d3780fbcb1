#include "installer/execution_level.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

namespace zelvaro {

namespace {

// The two forms are of one length: base/program.manifest pads asInvoker.
constexpr char kAsInvoker[] = "level=\"asInvoker\"           ";
constexpr char kRequireAdministrator[] = "level=\"requireAdministrator\"";
static_assert(sizeof kAsInvoker == sizeof kRequireAdministrator, "the level is changed in place");
constexpr size_t kLevelBytes = sizeof kAsInvoker - 1;

const char* levelText(ExecutionLevel level) {
    return level == ExecutionLevel::kAsInvoker ? kAsInvoker : kRequireAdministrator;
}

uint32_t le16(const std::vector<uint8_t>& b, size_t at) { return b[at] | b[at + 1] << 8; }
uint32_t le32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

struct Span {
    size_t offset = 0;
    size_t size = 0;
};

// The bytes of the manifest resource (type 24, id 1, its first language) of
// a Windows executable, found through the resource table: the program's own
// code holds the level's text too, and must not be taken for it. An empty
// span for anything else, and for a table that points outside the file.
Span manifestOf(const std::vector<uint8_t>& image) {
    auto fits = [&](size_t at, size_t bytes) { return at <= image.size() && bytes <= image.size() - at; };
    if (!fits(0, 0x40) || image[0] != 'M' || image[1] != 'Z') return {};
    const size_t pe = le32(image, 0x3C);
    if (!fits(pe, 24) || le32(image, pe) != 0x00004550) return {};  // "PE\0\0"
    const size_t sections = le16(image, pe + 6), optionalBytes = le16(image, pe + 20);
    const size_t optional = pe + 24;
    if (!fits(optional, optionalBytes) || optionalBytes < 2) return {};
    // The data directories follow the standard fields, at 96 (PE32) or 112 (PE32+).
    const size_t directories = optional + (le16(image, optional) == 0x20B ? 112 : 96);
    const size_t resourceEntry = directories + 2 * 8;
    if (resourceEntry + 8 > optional + optionalBytes) return {};
    const uint32_t resourceRva = le32(image, resourceEntry);
    const size_t table = optional + optionalBytes;
    if (!fits(table, sections * 40)) return {};
    auto fileOffset = [&](uint32_t rva, size_t bytes, size_t& at) {
        for (size_t i = 0; i < sections; ++i) {
            const size_t header = table + i * 40;
            const uint32_t start = le32(image, header + 12), rawSize = le32(image, header + 16),
                           rawAt = le32(image, header + 20);
            if (rva >= start && rva - start < rawSize && bytes <= rawSize - (rva - start)) {
                at = rawAt + (rva - start);
                return fits(at, bytes);
            }
        }
        return false;
    };
    size_t root = 0;
    if (!fileOffset(resourceRva, 16, root)) return {};
    // One level of the resource tree: the entry with `id`, or the first with
    // `id` 0; its offset from the table's start, which is a subdirectory
    // when `directory`.
    auto child = [&](size_t directory, uint32_t id, bool wantDirectory, size_t& next) {
        if (!fits(directory, 16)) return false;
        const size_t named = le16(image, directory + 12), ids = le16(image, directory + 14);
        for (size_t i = 0; i < named + ids; ++i) {
            const size_t entry = directory + 16 + i * 8;
            if (!fits(entry, 8)) return false;
            if (i < named || (id != 0 && le32(image, entry) != id)) continue;
            const uint32_t target = le32(image, entry + 4);
            if (((target & 0x80000000u) != 0) != wantDirectory) return false;
            next = root + (target & 0x7FFFFFFFu);
            return true;
        }
        return false;
    };
    size_t types = 0, names = 0, data = 0;
    if (!child(root, 24, true, types) || !child(types, 1, true, names) || !child(names, 0, false, data) ||
        !fits(data, 16))
        return {};
    Span manifest;
    manifest.size = le32(image, data + 4);
    if (!fileOffset(le32(image, data), manifest.size, manifest.offset)) return {};
    return manifest;
}

// Where either form occurs in the manifest, at most two.
std::vector<size_t> levelsIn(const std::vector<uint8_t>& image) {
    std::vector<size_t> found;
    const Span manifest = manifestOf(image);
    const auto begin = image.begin() + static_cast<std::ptrdiff_t>(manifest.offset);
    const auto end = begin + static_cast<std::ptrdiff_t>(manifest.size);
    for (const char* form : {kAsInvoker, kRequireAdministrator}) {
        auto at = begin;
        while (found.size() < 2) {
            at = std::search(at, end, form, form + kLevelBytes);
            if (at == end) break;
            found.push_back(static_cast<size_t>(at - image.begin()));
            ++at;
        }
    }
    return found;
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace

bool setExecutionLevel(std::vector<uint8_t>& image, ExecutionLevel level) {
    const std::vector<size_t> found = levelsIn(image);
    if (found.size() != 1) return false;
    std::memcpy(image.data() + found.front(), levelText(level), kLevelBytes);
    return true;
}

ExecutionLevelResult setFileExecutionLevel(const std::string& path, ExecutionLevel level) {
    std::vector<uint8_t> image;
    {
        File in(std::fopen(path.c_str(), "rb"));
        if (!in) return {"cannot open " + path};
        uint8_t block[65536];
        size_t n;
        while ((n = std::fread(block, 1, sizeof block, in.get())) > 0) image.insert(image.end(), block, block + n);
        if (std::ferror(in.get())) return {"cannot read " + path};
    }
    const std::vector<size_t> found = levelsIn(image);
    if (found.size() != 1) return {path + " has no execution level to set"};
    // Only the level's own bytes are written: a failure part way leaves the
    // rest of the program as it was.
    File out(std::fopen(path.c_str(), "r+b"));
    if (!out) return {"cannot write " + path};
    if (std::fseek(out.get(), static_cast<long>(found.front()), SEEK_SET) != 0 ||
        std::fwrite(levelText(level), 1, kLevelBytes, out.get()) != kLevelBytes ||
        std::fclose(out.release()) != 0)
        return {"cannot write " + path};
    return {};
}

}  // namespace zelvaro
