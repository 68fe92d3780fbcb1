// The files the setup file carries, in the order of its payload.
#pragma once

#include <cstddef>

namespace zelvaro {

struct PayloadEntry {
    const char* folder;  // empty: the install folder itself
    const char* name;    // null ends the table
};

constexpr size_t kMaxPayloadEntries = 128;

// The program first, so that the installed program is the setup file's own
// first bytes; then the help file.
extern const PayloadEntry kPayloadTable[];

// Entries before the one without a name, at most kMaxPayloadEntries.
size_t CountPayloadEntries(const PayloadEntry* table);

}  // namespace zelvaro
