#include "cli/cli_options.h"

namespace zelvaro::cli {

std::optional<uint64_t> parseNumber(const std::string& text, uint64_t low, uint64_t high) {
    if (text.empty() || text.size() > 19) return std::nullopt;
    uint64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        v = v * 10 + static_cast<uint64_t>(c - '0');
    }
    if (v < low || v > high) return std::nullopt;
    return v;
}

std::optional<uint64_t> ParsedArgs::value(const std::string& name) const {
    auto it = values.find(name);
    if (it == values.end()) return std::nullopt;
    return it->second;
}

std::optional<std::string> ParsedArgs::word(const std::string& name) const {
    auto it = words.find(name);
    if (it == words.end()) return std::nullopt;
    return it->second;
}

namespace {

std::string describeRange(const OptionSpec& spec) {
    if (spec.allowed.empty())
        return std::to_string(spec.low) + (spec.high == spec.low + 1 ? " or " : " to ") + std::to_string(spec.high);
    std::string text;
    for (size_t i = 0; i < spec.allowed.size(); ++i) {
        if (i > 0) text += i + 1 == spec.allowed.size() ? " or " : ", ";
        text += std::to_string(spec.allowed[i]);
    }
    return text;
}

bool applyWord(ParsedArgs& out, const OptionSpec& spec, const std::string& text) {
    std::string list;
    for (size_t i = 0; i < spec.words.size(); ++i) {
        if (spec.words[i] == text) {
            out.words[spec.name] = text;
            return true;
        }
        list += (i == 0 ? "" : i + 1 == spec.words.size() ? " or " : ", ") + spec.words[i];
    }
    out.error = "--" + std::string(spec.name) + " takes " + list + ", not \"" + text + "\"";
    return false;
}

bool applyOption(ParsedArgs& out, const OptionSpec& spec, const std::string& text) {
    if (spec.freeText) {
        out.words[spec.name] = text;
        return true;
    }
    if (!spec.words.empty()) return applyWord(out, spec, text);
    std::optional<uint64_t> v = parseNumber(text, spec.low, spec.high);
    bool allowed = v.has_value();
    if (allowed && !spec.allowed.empty()) {
        allowed = false;
        for (uint64_t a : spec.allowed) allowed = allowed || a == *v;
    }
    if (!allowed) {
        out.error = "--" + std::string(spec.name) + " takes " + describeRange(spec) + ", not \"" + text + "\"";
        return false;
    }
    out.values[spec.name] = *v;
    return true;
}

}  // namespace

ParsedArgs parseArgs(const std::vector<std::string>& args, const std::vector<OptionSpec>& specs,
                     size_t positionalCount) {
    ParsedArgs out;
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (optionsEnded || a.size() < 2 || a.compare(0, 2, "--") != 0) {
            if (!optionsEnded && a.size() > 1 && a[0] == '-') {
                out.error = "unknown option \"" + a + "\"";
                return out;
            }
            out.positional.push_back(a);
            continue;
        }
        if (a == "--") {
            optionsEnded = true;
            continue;
        }
        std::string name = a.substr(2);
        std::string text;
        bool inlineValue = false;
        if (size_t eq = name.find('='); eq != std::string::npos) {
            text = name.substr(eq + 1);
            name.resize(eq);
            inlineValue = true;
        }
        const OptionSpec* spec = nullptr;
        for (const OptionSpec& s : specs)
            if (name == s.name) spec = &s;
        if (!spec) {
            out.error = "unknown option \"--" + name + "\"";
            return out;
        }
        if (out.values.count(name) || out.words.count(name)) {
            out.error = "--" + name + " given twice";
            return out;
        }
        if (spec->flag) {
            if (inlineValue) {
                out.error = "--" + name + " takes no value";
                return out;
            }
            out.values[name] = 1;
            continue;
        }
        if (!inlineValue) {
            if (i + 1 >= args.size()) {
                out.error = "--" + name + " needs a value";
                return out;
            }
            text = args[++i];
        }
        if (!applyOption(out, *spec, text)) return out;
    }
    if (out.positional.size() != positionalCount) {
        out.error = out.positional.size() < positionalCount ? "missing arguments" : "too many arguments";
    }
    return out;
}

}  // namespace zelvaro::cli
