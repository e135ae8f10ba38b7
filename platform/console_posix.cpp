#include <sys/ioctl.h>
#include <unistd.h>

#include "platform/console.h"

namespace lintora {

bool is_terminal(std::FILE* stream) {
    return isatty(fileno(stream)) != 0;
}

int terminal_columns(std::FILE* stream) {
    winsize size{};
    if (ioctl(fileno(stream), TIOCGWINSZ, &size) != 0) {
        return 0;
    }
    return size.ws_col;
}

std::optional<std::vector<std::string>> program_arguments(int argc, char** argv) {
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

}  // namespace lintora
