#include "tools/human_units.h"

#include <cmath>
#include <cstdio>

namespace lintora {

std::string binary_size(uint64_t bytes) {
    if (bytes < 1024) {
        return std::to_string(bytes) + " B";
    }
    const char* const units[] = {"KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
    double value = static_cast<double>(bytes) / 1024;
    size_t unit = 0;
    // 1023.95 and more rounds to "1024.0": show it in the next unit instead.
    while (value >= 1023.95 && unit + 1 < sizeof units / sizeof units[0]) {
        value /= 1024;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %s", value, units[unit]);
    return text;
}

std::string clock_text(double seconds) {
    if (!(seconds >= 0) || seconds > 3.6e8) {
        return "--";
    }
    const auto whole = static_cast<uint64_t>(std::llround(seconds));
    char text[32];
    std::snprintf(text, sizeof text, "%llu:%02u:%02u",
                  static_cast<unsigned long long>(whole / 3600),
                  static_cast<unsigned>(whole / 60 % 60), static_cast<unsigned>(whole % 60));
    return text;
}

}  // namespace lintora
