#include "tools/arguments.h"

#include <algorithm>
#include <cstdio>
#include <initializer_list>

#include "platform/console.h"
#include "prep/cluster_size.h"

namespace lintora {

std::optional<uint64_t> parse_count(const std::string& text) {
    if (text.empty() || text.size() > 20) {
        return std::nullopt;
    }
    uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        const auto digit = static_cast<uint64_t>(c - '0');
        if (value > (UINT64_MAX - digit) / 10) {
            return std::nullopt;
        }
        value = value * 10 + digit;
    }
    return value;
}

std::optional<uint32_t> parse_cluster_request(const std::string& text) {
    if (text == "auto") {
        return kAutomaticClusterSize;
    }
    const std::optional<uint64_t> value = parse_count(text);
    if (!value || *value == 0 || *value > UINT32_MAX) {
        return std::nullopt;
    }
    return static_cast<uint32_t>(*value);
}

const std::string* ParsedArguments::option(const std::string& name) const {
    for (const auto& [key, value] : options) {
        if (key == name) {
            return &value;
        }
    }
    return nullptr;
}

bool ParsedArguments::has_switch(const std::string& name) const {
    return std::find(switches.begin(), switches.end(), name) != switches.end();
}

namespace {

// The values of the one option that is a switch as well.
bool is_progress_word(const std::string& word) {
    return word == "auto" || word == "bar" || word == "lines" || word == "none";
}

}  // namespace

ParsedArguments parse_arguments(const std::vector<std::string>& words,
                                const std::vector<std::string>& value_options,
                                const std::vector<std::string>& switch_options) {
    ParsedArguments parsed;
    auto known = [](const std::vector<std::string>& list, const std::string& word) {
        return std::find(list.begin(), list.end(), word) != list.end();
    };
    bool options_ended = false;
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        const bool seen = parsed.has_switch(word) || parsed.option(word) != nullptr;
        if (options_ended || word.rfind("--", 0) != 0) {
            parsed.positionals.push_back(word);
        } else if (word == "--") {
            options_ended = true;  // every word after it is a FILE, however it looks
        } else if (seen) {
            parsed.error = word + " is given more than once";
            return parsed;
        } else if (known(switch_options, word) && known(value_options, word) &&
                   i + 1 < words.size() && is_progress_word(words[i + 1])) {
            parsed.options.emplace_back(word, words[++i]);
        } else if (known(switch_options, word)) {
            parsed.switches.push_back(word);
        } else if (const size_t equals = word.find('=');
                   equals != std::string::npos && known(value_options, word.substr(0, equals))) {
            // "--name=value", as GNU tools take it.
            const std::string name = word.substr(0, equals);
            if (parsed.option(name) != nullptr || parsed.has_switch(name)) {
                parsed.error = name + " is given more than once";
                return parsed;
            }
            parsed.options.emplace_back(name, word.substr(equals + 1));
        } else if (known(value_options, word)) {
            if (i + 1 >= words.size()) {
                parsed.error = word + " needs a value";
                return parsed;
            }
            if (words[i + 1].rfind("--", 0) == 0) {
                parsed.error = word + " needs a value, not the option " + words[i + 1];
                return parsed;
            }
            parsed.options.emplace_back(word, words[++i]);
        } else {
            parsed.error = "unknown option " + word;
            return parsed;
        }
    }
    return parsed;
}

void print_help(const char* usage) {
    std::printf("%s%s\n", usage, kVersionLine);
}

namespace {

bool holds_before_end_of_options(const std::vector<std::string>& words,
                                 std::initializer_list<const char*> wanted) {
    for (const std::string& word : words) {
        if (word == "--") {
            return false;
        }
        for (const char* name : wanted) {
            if (word == name) {
                return true;
            }
        }
    }
    return false;
}

}  // namespace

bool asks_for_help(const std::vector<std::string>& words) {
    return holds_before_end_of_options(words, {"--help", "-h"});
}

bool asks_for_json(const std::vector<std::string>& words) {
    return holds_before_end_of_options(words, {"--json"});
}

TargetArguments parse_target(const ParsedArguments& args) {
    TargetArguments target;
    if (!args.error.empty()) {
        target.error = args.error;
    } else if (args.positionals.size() != 1) {
        target.error = "exactly one FILE is needed";
    } else {
        target.path = args.positionals[0];
        if (const std::string* text = args.option("--sector-size")) {
            const auto value = parse_count(*text);
            if (!value || (*value != 512 && *value != 4096)) {
                target.error = "the sector size must be 512 or 4096, not '" + *text + "'";
            } else {
                target.sector_size = static_cast<uint32_t>(*value);
            }
        }
    }
    return target;
}

std::optional<ProgressMode> progress_choice(const ParsedArguments& args, std::FILE* stream) {
    const bool terminal = is_terminal(stream);
    if (const std::string* text = args.option("--progress")) {
        return parse_progress_mode(*text, terminal);
    }
    return args.has_switch("--progress") ? ProgressMode::bar
                                         : *parse_progress_mode("auto", terminal);
}

}  // namespace lintora
