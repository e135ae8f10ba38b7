#include "tools/command_start.h"

namespace lintora {

RunEnding ending_for(const char* command, const CommandOptions& table,
                     const std::vector<std::string>& words) {
    RunEnding ending;
    ending.command = command;
    ending.usage = usage_text(table);
    ending.json = asks_for_json(words);
    ending.record.partition_style = "none";
    return ending;
}

std::optional<int> start_command(const std::vector<std::string>& words, const CommandOptions& table,
                                 DiskSystem& system, RunEnding& ending, CommandStart* start) {
    if (asks_for_help(words)) {
        print_help(ending.usage.c_str());
        return 0;
    }
    start->args = parse_with(words, table);
    const ParsedArguments& args = start->args;
    if (!args.error.empty()) {
        return ending.usage_error(args.error);
    }
    const std::optional<ProgressMode> mode = progress_choice(args, stderr);
    if (!mode) {
        return ending.usage_error("the progress must be auto, bar, lines or none, not '" +
                                  *args.option("--progress") + "'");
    }
    start->mode = *mode;
    if (const std::string error = parse_target(args).error; !error.empty()) {
        return ending.usage_error(error);
    }
    const Outcome resolved = resolve_target(args, system, &start->target);
    ending.record.target = start->target.wide_path;
    if (!resolved.ok()) {
        // The target itself is refused (missing, of the wrong kind, empty): not a usage error.
        ending.record.cause = cause_name(resolved.cause);
        return ending.failed(resolved.reason);
    }
    return std::nullopt;
}

}  // namespace lintora
