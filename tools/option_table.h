// One table per command of the options it takes: what parses the command line, what --help
// prints, and what the manual page and the bash completion are checked against all come from it.
#pragma once

#include <string>
#include <vector>

#include "tools/arguments.h"

namespace lintora {

struct OptionSpec {
    enum class Takes { nothing, value, optional_value };
    const char* name;  // "--sector-size"
    Takes takes;
    // The lines --help prints after the name, '\n' between them (continuation lines are
    // indented under the first by usage_text).
    const char* help;
};

struct CommandOptions {
    const char* synopsis;  // the "usage:" lines and the command's summary, as --help starts
    unsigned column;       // the width of the name column in --help, its spaces included
    std::vector<OptionSpec> options;
};

// The words parsed against the table: its value options, its switches (an option with an
// optional value is both).
ParsedArguments parse_with(const std::vector<std::string>& words, const CommandOptions& table);

// --help's text: the synopsis, then each option's name and help in two columns.
std::string usage_text(const CommandOptions& table);

// The help of the options both formatting commands take alike.
extern const char* const kSectorSizeHelp;
extern const char* const kClusterSizeHelp;
extern const char* const kProgressHelp;

}  // namespace lintora
