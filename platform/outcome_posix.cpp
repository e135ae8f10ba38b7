#include <cerrno>
#include <cstring>

#include "platform/outcome.h"

namespace lintora {

Outcome last_system_failure() {
    return Outcome::failure(std::strerror(errno));
}

}  // namespace lintora
