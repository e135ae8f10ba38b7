#include <cerrno>
#include <cstring>

#include "platform/outcome.h"

namespace lintora {

Outcome last_system_failure() {
    const int code = errno;
    Outcome failed = Outcome::failure(std::strerror(code));
    failed.cause = failure_class_of_errno(code);
    return failed;
}

}  // namespace lintora
