// lintora: re-initialises disks and disk images from the command line.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>
#include <string>
#include <vector>

#include "platform/console.h"
#include "tools/arguments.h"
#include "tools/commands.h"
#include "tools/interrupt.h"
#include "tools/terminal_text.h"

namespace {

constexpr const char* kUsage =
    "usage: lintora volume FILE [options]   format FILE as one NTFS volume\n"
    "       lintora disk FILE [options]     partition FILE and format its data partition\n"
    "       lintora list [--any-vendor]     list the disks the program would offer\n"
    "       lintora COMMAND --help          the options of a command\n"
    "       lintora --version               the version of this program\n";

int run(const std::vector<std::string>& arguments) {
    if (arguments.empty() || arguments[0] == "--help" || arguments[0] == "-h") {
        std::fprintf(arguments.empty() ? stderr : stdout, "%s", kUsage);
        return arguments.empty() ? 2 : 0;
    }
    if (arguments[0] == "--version") {
        std::printf("%s\n", lintora::kVersionLine);
        return 0;
    }
    const std::vector<std::string> words(arguments.begin() + 1, arguments.end());
    if (arguments[0] == "volume") {
        return lintora::run_volume_command(words);
    }
    if (arguments[0] == "disk") {
        return lintora::run_disk_command(words);
    }
    if (arguments[0] == "list") {
        return lintora::run_list_command(words);
    }
    std::fprintf(stderr, "lintora: unknown command '%s'\n%s",
                 lintora::terminal_safe(arguments[0]).c_str(), kUsage);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (!lintora::hold_standard_streams()) {
        return 2;  // no way to say why: standard error is what could not be held
    }
    lintora::ignore_closed_pipes();
    const std::optional<std::vector<std::string>> arguments =
        lintora::program_arguments(argc, argv);
    if (!arguments) {
        std::fprintf(stderr, "lintora: the command line is not valid Unicode\n");
        return 2;
    }
    try {
        const int status = run(*arguments);
        // What could not be written (a full disk, a closed pipe) is a failure, not a result.
        if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
            // A run whose work was done says so: its target was changed, whatever the output.
            std::fprintf(stderr, "lintora: cannot write the output: %s%s\n", std::strerror(errno),
                         status == 0 ? " (the run itself succeeded)" : "");
            return status != 0 ? status : 1;
        }
        return status;
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "lintora: out of memory\n");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "lintora: %s\n", e.what());
    }
    return 1;
}
