#include "installer/payload_table.h"

namespace zelvaro {

const PayloadEntry kPayloadTable[] = {
    {"", "tone.exe"},
    {"", "tone.hlp"},
    {"", nullptr},
};

size_t CountPayloadEntries(const PayloadEntry* table) {
    size_t count = 0;
    while (count < kMaxPayloadEntries && table[count].name != nullptr)
        ++count;
    return count;
}

}  // namespace zelvaro
