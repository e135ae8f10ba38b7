// Numbers as a person reads them: byte counts in binary units with one decimal ("1.8 TiB"),
// durations as hours, minutes and seconds ("1:02:03").
#pragma once

#include <cstdint>
#include <string>

namespace lintora {

std::string binary_size(uint64_t bytes);
// Whole seconds as h:mm:ss; "--" for a negative or unknown time.
std::string clock_text(double seconds);

}  // namespace lintora
