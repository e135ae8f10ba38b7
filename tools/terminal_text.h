// Text for the terminal. Paths come from the user and names from the device (a hostile USB
// device chooses its vendor, model and friendly name); bytes that would drive the terminal must
// never reach it raw.
#pragma once

#include <string>
#include <string_view>

namespace lintora {

// `text` with every control character (C0, DEL, and the C1 range U+0080..U+009F) and every byte
// that is not part of valid UTF-8 written as \xHH; a backslash stays as it is.
std::string terminal_safe(std::string_view text);

}  // namespace lintora
