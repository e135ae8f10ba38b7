#include "tools/run_ending.h"

#include <cstdio>

#include "tools/terminal_text.h"

namespace lintora {

int RunEnding::operator()(int status) {
    if (json && !printed) {
        if (!record.succeeded && !record.planned && record.error_class.empty()) {
            record.error_class = "refused";
        }
        std::printf("%s\n", run_json(record).c_str());
        printed = true;
    }
    return status;
}

void RunEnding::say(const std::string& message) const {
    std::fprintf(stderr, "lintora %s: %s\n", command, terminal_safe(message).c_str());
}

int RunEnding::failed(const std::string& message) {
    say(message);
    record.error = message;
    return (*this)(1);
}

int RunEnding::usage_error(const std::string& message) {
    say(message);
    std::fputs(usage.c_str(), stderr);
    record.error = message;
    return (*this)(2);
}

}  // namespace lintora
