// Command-line parsing helpers of the lintora tool.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/progress_report.h"

namespace lintora {

// A whole decimal number without sign or suffix, or nothing.
std::optional<uint64_t> parse_count(const std::string& text);

// The value of --cluster-size: "auto" (kAutomaticClusterSize) or a positive whole number of
// bytes that fits 32 bits; nothing for anything else. Whether NTFS takes it is checked with the
// volume's size.
std::optional<uint32_t> parse_cluster_request(const std::string& text);

// Arguments after the command word: "--name value" (or "--name=value") options, "--flag"
// switches, and positionals;
// after "--" every word is a positional. An option given twice, or followed by another option
// instead of its value, is an error. An option that is a switch as well (--progress) takes the
// next word as its value only when that word is one of its values ("--progress lines").
struct ParsedArguments {
    std::vector<std::string> positionals;
    std::vector<std::pair<std::string, std::string>> options;
    std::vector<std::string> switches;
    std::string error;  // empty when the words made sense

    const std::string* option(const std::string& name) const;
    bool has_switch(const std::string& name) const;
};

ParsedArguments parse_arguments(const std::vector<std::string>& words,
                                const std::vector<std::string>& value_options,
                                const std::vector<std::string>& switch_options);

// How progress is shown on `stream`: --progress=auto|bar|lines|none (a bare --progress: bar;
// none given: auto, the bar on a terminal and lines otherwise); nothing for another value.
std::optional<ProgressMode> progress_choice(const ParsedArguments& args, std::FILE* stream);

// Whether the words hold "--help" or "-h" before any "--".
bool asks_for_help(const std::vector<std::string>& words);
// Whether the words hold "--json" before any "--": then every way out of the command, a usage
// error included, ends with its JSON record.
bool asks_for_json(const std::vector<std::string>& words);

// "lintora VERSION", the version of the build (the Windows program's FileVersion).
inline constexpr const char* kVersionLine = "lintora " LINTORA_VERSION;

// A command's usage text and the version line, on stdout.
void print_help(const char* usage);

// The one FILE and the --sector-size (512 or 4096; 0 when absent) every command takes; `error`
// says what is wrong with them or with the words as a whole.
struct TargetArguments {
    std::string path;
    uint32_t sector_size = 0;
    std::string error;
};

TargetArguments parse_target(const ParsedArguments& args);

}  // namespace lintora
