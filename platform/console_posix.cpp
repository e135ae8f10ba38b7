#include <unistd.h>

#include "platform/console.h"

bool is_terminal(std::FILE* stream) {
    return isatty(fileno(stream)) != 0;
}
