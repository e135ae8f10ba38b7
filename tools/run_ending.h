// Where a formatting command's every way out goes once its words are read: what it says on
// stderr ("lintora COMMAND: ..."), said once, and with --json the run's record on stdout, once.
#pragma once

#include <string>

#include "tools/run_json.h"

namespace lintora {

struct RunEnding {
    const char* command = "";  // "volume", "disk"
    std::string usage;         // what a usage error shows after its line
    bool json = false;
    RunRecord record;
    bool printed = false;

    // Ends the run with `status`: the record on stdout with --json (a failure that names no
    // class by then was a refusal).
    int operator()(int status);
    // Says `message` on stderr, control bytes escaped.
    void say(const std::string& message) const;
    // A failure or refusal: said, kept as the record's reason, status 1.
    int failed(const std::string& message);
    // A command line that makes no sense: said with the usage, status 2.
    int usage_error(const std::string& message);
};

}  // namespace lintora
