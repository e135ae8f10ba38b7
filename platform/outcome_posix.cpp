#include <cerrno>
#include <cstring>

#include "platform/outcome.h"

namespace lintora {

Outcome last_system_failure() {
    const int code = errno;
    Outcome failed = Outcome::failure(std::strerror(code));
    failed.gone = code == ENODEV || code == ENXIO || code == ENOMEDIUM;
    return failed;
}

}  // namespace lintora
