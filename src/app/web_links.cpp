#include "app/web_links.h"

#include "app/resource.h"

namespace zelvaro {

namespace {

// Ids 911 to 922 in order; items of the menu may share an id.
const char* const kAddresses[] = {
    "https://www.quorrel.example/zelvaro/",           // 911 the program's home page
    "https://www.quorrel.example/software/",          // 912 the software list
    "https://www.quorrel.example/downloads/audio/",   // 913 more audio software
    "https://www.quorrel.example/support/",           // 914 support and feedback
    "https://www.quorrel.example/",                   // 915 the maker's home page
    "https://www.quorrel.example/zelvaro/news/",      // 916
    "https://www.quorrel.example/zelvaro/faq/",       // 917
    "https://www.quorrel.example/zelvaro/tips/",      // 918
    "https://www.quorrel.example/downloads/",         // 919
    "https://www.quorrel.example/register/",          // 920
    "https://www.quorrel.example/contact/",           // 921
    "https://www.quorrel.example/privacy/",           // 922
};
static_assert(sizeof kAddresses / sizeof kAddresses[0] == IDM_LINK_LAST - IDM_LINK_FIRST + 1);

}  // namespace

const char* webLinkAddress(WORD id) {
    if (id < IDM_LINK_FIRST || id > IDM_LINK_LAST)
        return nullptr;
    return kAddresses[id - IDM_LINK_FIRST];
}

const char* const kStatusTexts[kStatusTextCount] = {
    "Zelvaro v 2.00",
    "Signal generator by Quorrel",
    "Download more audio software...",
    "www.quorrel.example",
    "Click here to view software list.",
};

}  // namespace zelvaro
