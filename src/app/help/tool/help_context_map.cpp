#include "app/help/tool/help_context_map.h"

#include <cstring>
#include <functional>

#include "base/little_endian.h"

namespace zelvaro {

namespace {

constexpr uint32_t kHelpFileMagic = 0x00035F3F;
constexpr uint16_t kTreeMagic = 0x293B;
// Internal file header: reserved space, used space, flags.
constexpr size_t kFileHeaderSize = 9;
constexpr size_t kTreeHeaderSize = 38;
constexpr size_t kLeafHeaderSize = 8;
constexpr uint16_t kNoPage = 0xFFFF;

// Bounds-checked little-endian reads of the file image.
class Image {
public:
    explicit Image(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}
    bool Has(uint64_t offset, uint64_t count) const {
        return offset <= bytes_.size() && count <= bytes_.size() - offset;
    }
    uint16_t U16(uint64_t offset) const { return getLe16(bytes_.data() + offset); }
    uint32_t U32(uint64_t offset) const { return getLe32(bytes_.data() + offset); }
    const uint8_t* At(uint64_t offset) const { return bytes_.data() + offset; }

private:
    const std::vector<uint8_t>& bytes_;
};

// Calls visit(entryOffset, entryEnd) for the leaf entries of the tree held in
// the internal file at fileOffset, in key order, until it returns false.
// visit returns the offset just past the entry (0 stops the walk as broken).
bool WalkLeaves(const Image& image, uint64_t fileOffset,
                const std::function<uint64_t(uint64_t entry, uint64_t pageEnd, bool& stop)>& visit) {
    const uint64_t tree = fileOffset + kFileHeaderSize;
    if (!image.Has(fileOffset, kFileHeaderSize + kTreeHeaderSize) || image.U16(tree) != kTreeMagic)
        return false;
    const uint16_t pageSize = image.U16(tree + 4);
    uint16_t page = image.U16(tree + 26);
    const uint16_t levels = image.U16(tree + 32);
    const uint16_t pageCount = image.U16(tree + 30);
    const uint64_t pages = tree + kTreeHeaderSize;
    if (pageSize < kLeafHeaderSize || levels == 0)
        return false;
    // Index pages: the first child is kept in the page header.
    for (uint16_t level = 1; level < levels; ++level) {
        const uint64_t at = pages + static_cast<uint64_t>(page) * pageSize;
        if (page >= pageCount || !image.Has(at, pageSize))
            return false;
        page = image.U16(at + 4);
    }
    for (uint32_t visited = 0; page != kNoPage; ++visited) {
        const uint64_t at = pages + static_cast<uint64_t>(page) * pageSize;
        if (visited >= pageCount || page >= pageCount || !image.Has(at, pageSize))
            return false;
        const uint16_t entries = image.U16(at + 2);
        uint64_t entry = at + kLeafHeaderSize;
        for (uint16_t i = 0; i < entries; ++i) {
            bool stop = false;
            entry = visit(entry, at + pageSize, stop);
            if (entry == 0)
                return false;
            if (stop)
                return true;
        }
        page = image.U16(at + 6);
    }
    return true;
}

// The offset of the directory entry's file-offset field for `name`, or 0.
uint64_t FindDirectoryEntry(const Image& image, uint64_t directory, const char* name) {
    const size_t nameSize = std::strlen(name) + 1;
    uint64_t found = 0;
    WalkLeaves(image, directory, [&](uint64_t entry, uint64_t pageEnd, bool& stop) -> uint64_t {
        uint64_t end = entry;
        while (end < pageEnd && *image.At(end) != 0)
            ++end;
        if (end + 5 > pageEnd)
            return 0;
        if (end + 1 - entry == nameSize && std::memcmp(image.At(entry), name, nameSize) == 0) {
            found = end + 1;
            stop = true;
        }
        return end + 5;
    });
    return found;
}

// The offset of the internal file `name`, or 0.
uint64_t FindInternalFile(const Image& image, const char* name) {
    if (!image.Has(0, 16) || image.U32(0) != kHelpFileMagic)
        return 0;
    const uint64_t entry = FindDirectoryEntry(image, image.U32(4), name);
    return entry == 0 ? 0 : image.U32(entry);
}

}  // namespace

bool ReadHelpContextMap(const std::vector<uint8_t>& help,
                        std::vector<std::pair<uint32_t, uint32_t>>& map) {
    const Image image(help);
    const uint64_t file = FindInternalFile(image, "|CTXOMAP");
    if (file == 0 || !image.Has(file, kFileHeaderSize + 2))
        return false;
    const uint16_t entries = image.U16(file + kFileHeaderSize);
    const uint64_t first = file + kFileHeaderSize + 2;
    if (!image.Has(first, 8ull * entries) || image.U32(file) < kFileHeaderSize + 2 + 8ull * entries)
        return false;
    map.clear();
    for (uint16_t i = 0; i < entries; ++i)
        map.emplace_back(image.U32(first + 8ull * i), image.U32(first + 8ull * i + 4));
    return true;
}

bool FindHelpTopicTitle(const std::vector<uint8_t>& help, uint32_t topicOffset, std::string& title) {
    const Image image(help);
    const uint64_t file = FindInternalFile(image, "|TTLBTREE");
    if (file == 0)
        return false;
    bool found = false;
    const bool walked = WalkLeaves(image, file, [&](uint64_t entry, uint64_t pageEnd, bool& stop) -> uint64_t {
        if (entry + 4 >= pageEnd)
            return 0;
        uint64_t end = entry + 4;
        while (end < pageEnd && *image.At(end) != 0)
            ++end;
        if (end >= pageEnd)
            return 0;
        if (image.U32(entry) == topicOffset) {
            title.assign(reinterpret_cast<const char*>(image.At(entry + 4)), end - entry - 4);
            found = stop = true;
        }
        return end + 1;
    });
    return walked && found;
}

uint32_t WinHelpTopicHash(const std::string& topic) {
    uint32_t hash = 0;
    for (char c : topic) {
        uint32_t value = 0;
        if (c >= 'A' && c <= 'Z')
            value = static_cast<uint32_t>(c - 'A' + 17);
        else if (c >= 'a' && c <= 'z')
            value = static_cast<uint32_t>(c - 'a' + 17);
        else if (c >= '1' && c <= '9')
            value = static_cast<uint32_t>(c - '0');
        else if (c == '0')
            value = 10;
        else if (c == '.')
            value = 12;
        else if (c == '_')
            value = 13;
        if (value != 0)
            hash = hash * 43 + value;
    }
    return hash;
}

bool AddHelpContextMap(std::vector<uint8_t>& help, const std::vector<HelpContext>& contexts,
                       std::string& error) {
    const Image image(help);
    if (!image.Has(0, 16) || image.U32(0) != kHelpFileMagic) {
        error = "not a WinHelp file";
        return false;
    }
    const uint64_t directory = image.U32(4);
    const uint64_t contextEntry = FindDirectoryEntry(image, directory, "|CONTEXT");
    const uint64_t mapEntry = FindDirectoryEntry(image, directory, "|CTXOMAP");
    if (contextEntry == 0 || mapEntry == 0) {
        error = "the help file has no context index or context map";
        return false;
    }
    const uint64_t contextFile = image.U32(contextEntry);

    std::vector<uint8_t> map(kFileHeaderSize + 2 + 8 * contexts.size());
    putLe32(&map[0], static_cast<uint32_t>(map.size()));
    putLe32(&map[4], static_cast<uint32_t>(map.size() - kFileHeaderSize));
    map[8] = 0;
    putLe16(&map[9], static_cast<uint32_t>(contexts.size()));
    for (size_t i = 0; i < contexts.size(); ++i) {
        const uint32_t hash = WinHelpTopicHash(contexts[i].topic);
        uint32_t topicOffset = 0;
        bool found = false;
        const bool walked = WalkLeaves(image, contextFile, [&](uint64_t entry, uint64_t pageEnd, bool& stop) -> uint64_t {
            if (entry + 8 > pageEnd)
                return 0;
            if (image.U32(entry) == hash) {
                topicOffset = image.U32(entry + 4);
                found = stop = true;
            }
            return entry + 8;
        });
        if (!walked || !found) {
            error = "no topic named " + contexts[i].topic;
            return false;
        }
        putLe32(&map[11 + 8 * i], contexts[i].number);
        putLe32(&map[15 + 8 * i], topicOffset);
    }

    // The new map goes at the end of the file; the directory points there and
    // the old one is left as unused space.
    const uint64_t newOffset = help.size();
    if (newOffset + map.size() > 0x7FFFFFFF) {
        error = "the help file is too large";
        return false;
    }
    help.insert(help.end(), map.begin(), map.end());
    putLe32(&help[mapEntry], static_cast<uint32_t>(newOffset));
    putLe32(&help[12], static_cast<uint32_t>(help.size()));
    return true;
}

}  // namespace zelvaro
