#include <io.h>

#include "platform/console.h"

bool is_terminal(std::FILE* stream) {
    return _isatty(_fileno(stream)) != 0;
}
