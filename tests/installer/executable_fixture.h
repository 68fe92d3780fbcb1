// A program image for the tests of what the installer does to executables:
// the smallest 64-bit executable Windows would read a manifest from.
#pragma once

#include <cstdint>
#include <string>

namespace zelvaro::test {

// The two execution levels of the program's manifest, of one length.
constexpr char kInvoker[] = "level=\"asInvoker\"           ";
constexpr char kAdministrator[] = "level=\"requireAdministrator\"";

inline void put16(std::string& b, size_t at, uint32_t v) {
    b[at] = static_cast<char>(v);
    b[at + 1] = static_cast<char>(v >> 8);
}
inline void put32(std::string& b, size_t at, uint32_t v) {
    put16(b, at, v);
    put16(b, at + 2, v >> 16);
}

// The smallest 64-bit executable that Windows would read a manifest from:
// headers, one section holding the resource table, and `manifest` as the
// resource of type 24 (manifest), id 1, US English. `code` goes before the
// table, where a program's constants would be.
inline std::string executable(const std::string& code, const std::string& manifest) {
    std::string b(0x200, '\0');
    b[0] = 'M';                   // "MZ"
    b[1] = 'Z';
    put32(b, 0x3C, 0x40);         // where the PE header starts
    put32(b, 0x40, 0x00004550);   // "PE\0\0"
    put16(b, 0x44, 0x8664);       // machine: x86-64
    put16(b, 0x46, 1);            // one section
    put16(b, 0x54, 240);          // optional header bytes (PE32+ with 16 directories)
    put16(b, 0x58, 0x20B);        // PE32+
    put32(b, 0x58 + 112 + 16, 0x1000);  // directory 2 (resources): its address
    put32(b, 0x58 + 112 + 20, 0x100);   // and size
    const size_t section = 0x58 + 240;
    b.replace(section, 5, ".rsrc");
    put32(b, section + 12, 0x1000);                             // its address
    put32(b, section + 16, 0x58 + static_cast<uint32_t>(code.size() + manifest.size()));  // raw size
    put32(b, section + 20, 0x200);                              // where its bytes start in the file
    std::string table(0x58, '\0');
    put16(table, 0x0E, 1);                        // root: one entry by id
    put32(table, 0x10, 24);                       //   type 24
    put32(table, 0x14, 0x80000000u | 0x18);       //   a directory at 0x18
    put16(table, 0x18 + 0x0E, 1);                 // types: one entry by id
    put32(table, 0x28, 1);                        //   id 1
    put32(table, 0x2C, 0x80000000u | 0x30);       //   a directory at 0x30
    put16(table, 0x30 + 0x0E, 1);                 // names: one language
    put32(table, 0x40, 0x409);                    //   US English
    put32(table, 0x44, 0x48);                     //   data entry at 0x48
    put32(table, 0x48, 0x1000 + 0x58 + static_cast<uint32_t>(code.size()));  // the manifest's address
    put32(table, 0x4C, static_cast<uint32_t>(manifest.size()));               // and size
    // The section: the table, the code, the manifest; the table's entries
    // count from the section's start, so the code goes after the table.
    return b + table + code + manifest;
}

}  // namespace zelvaro::test
