// Strict parsing of the command line: a number is all digits in range, an
// option is known, every required argument is there.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace zelvaro::cli {

// Parses a decimal integer made of digits only (no sign, blanks or suffix)
// within [low, high].
std::optional<uint64_t> parseNumber(const std::string& text, uint64_t low, uint64_t high);

struct OptionSpec {
    const char* name;  // without the leading "--"
    uint64_t low;
    uint64_t high;
    std::vector<uint64_t> allowed;  // when not empty, only these values
    std::vector<std::string> words = {};  // when not empty, one of these words instead of a number
    bool flag = false;      // takes no value; present means 1
    bool freeText = false;  // any text, kept in `words` for the command to read
};

struct ParsedArgs {
    std::vector<std::string> positional;
    std::map<std::string, uint64_t> values;
    std::string error;  // empty when the arguments were accepted

    std::map<std::string, std::string> words;

    std::optional<uint64_t> value(const std::string& name) const;
    std::optional<std::string> word(const std::string& name) const;
};

// Accepts "--name VALUE" and "--name=VALUE" for the options in `specs` and
// exactly `positionalCount` other arguments ("--" ends the options).
ParsedArgs parseArgs(const std::vector<std::string>& args, const std::vector<OptionSpec>& specs,
                     size_t positionalCount);

}  // namespace zelvaro::cli
