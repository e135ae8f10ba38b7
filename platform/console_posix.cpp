#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

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

bool hold_standard_streams() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) {
            continue;
        }
        // The lowest free descriptor is this one: those below it are open by now.
        const int null = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (null != fd) {
            if (null >= 0) {
                close(null);
            }
            return false;
        }
    }
    return true;
}

std::optional<std::vector<std::string>> program_arguments(int argc, char** argv) {
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

}  // namespace lintora
