#include <io.h>

#include "platform/console.h"

namespace lintora {

bool is_terminal(std::FILE* stream) {
    return _isatty(_fileno(stream)) != 0;
}

}  // namespace lintora
