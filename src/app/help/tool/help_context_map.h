// Numbered help contexts. A program opens a WinHelp topic by number
// (HELP_CONTEXT); the file finds the topic through its context map, which
// the help writer of the build leaves empty. AddHelpContextMap fills it from
// the topic names that the help source gives its pages.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace zelvaro {

struct HelpContext {
    uint32_t number;
    std::string topic;
};

// The hash under which WinHelp files index a topic name.
uint32_t WinHelpTopicHash(const std::string& topic);

// Replaces the context map of the WinHelp file image `help` with `contexts`.
// False with a reason, and `help` unchanged, when the file is not a WinHelp
// file, lacks its context index, or names no topic of that name.
bool AddHelpContextMap(std::vector<uint8_t>& help, const std::vector<HelpContext>& contexts,
                       std::string& error);

// Read back as a help viewer does: the (number, topic offset) pairs of the
// context map, and the title of the topic at an offset. False when the file
// or the entry is missing or broken.
bool ReadHelpContextMap(const std::vector<uint8_t>& help,
                        std::vector<std::pair<uint32_t, uint32_t>>& map);
bool FindHelpTopicTitle(const std::vector<uint8_t>& help, uint32_t topicOffset, std::string& title);

}  // namespace zelvaro
