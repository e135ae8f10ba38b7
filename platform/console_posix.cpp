#include <unistd.h>

#include "platform/console.h"

namespace lintora {

bool is_terminal(std::FILE* stream) {
    return isatty(fileno(stream)) != 0;
}

}  // namespace lintora
