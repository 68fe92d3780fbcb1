// The maker's web pages behind the Internet Resources menu, and the texts
// the status line rotates through.
#pragma once

#include <windows.h>

namespace zelvaro {

// The address behind an Internet Resources item (ids 911 to 922); null for
// any other id.
const char* webLinkAddress(WORD id);

constexpr int kStatusTextCount = 5;
// The status line's texts, in the order they are shown.
extern const char* const kStatusTexts[kStatusTextCount];

}  // namespace zelvaro
