#include "tools/option_table.h"

namespace lintora {

const char* const kSectorSizeHelp =
    "logical sector size of an image (a device's own is always used)";
const char* const kClusterSizeHelp =
    "bytes per cluster, a power of two from 4096 to 2097152; auto (the default):\n"
    "4096 up to 16 TiB, then the smallest that fits NTFS, up to 65536 (256 TiB)";
const char* const kProgressHelp =
    "how progress shows on stderr: bar (one line redrawn), lines (a line per\n"
    "phase, a minute and 10 %), none; auto (the default): bar on a terminal,\n"
    "lines otherwise; a bare --progress means bar";

ParsedArguments parse_with(const std::vector<std::string>& words, const CommandOptions& table) {
    std::vector<std::string> values;
    std::vector<std::string> switches;
    for (const OptionSpec& option : table.options) {
        if (option.takes != OptionSpec::Takes::nothing) {
            values.emplace_back(option.name);
        }
        if (option.takes != OptionSpec::Takes::value) {
            switches.emplace_back(option.name);
        }
    }
    return parse_arguments(words, values, switches);
}

std::string usage_text(const CommandOptions& table) {
    std::string text = table.synopsis;
    const std::string indent(2 + table.column, ' ');
    for (const OptionSpec& option : table.options) {
        std::string name = option.name;
        name.resize(name.size() < table.column ? table.column : name.size() + 1, ' ');
        text += "  " + name;
        for (const char* c = option.help; *c != '\0'; ++c) {
            text += *c;
            if (*c == '\n') {
                text += indent;
            }
        }
        text += '\n';
    }
    return text;
}

}  // namespace lintora
