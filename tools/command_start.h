// What both formatting commands do first, alike: --help, the words read against the command's
// option table, the progress mode, and the target the system describes. A command that ends
// there (help, a usage error, a target refused) has said why and printed its record.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tools/arguments.h"
#include "tools/option_table.h"
#include "tools/run_ending.h"
#include "tools/target.h"

namespace lintora {

struct CommandStart {
    ParsedArguments args;
    ProgressMode mode = ProgressMode::none;
    Target target;
};

// The ending of `command`'s run, with its usage and whether the words ask for --json.
RunEnding ending_for(const char* command, const CommandOptions& table,
                     const std::vector<std::string>& words);

// Reads the words and the target through `system`: nothing when the command goes on, or the
// exit status it ends with.
std::optional<int> start_command(const std::vector<std::string>& words, const CommandOptions& table,
                                 DiskSystem& system, RunEnding& ending, CommandStart* start);

}  // namespace lintora
