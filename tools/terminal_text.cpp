#include "tools/terminal_text.h"

#include <cstdint>
#include <cstdio>

namespace lintora {

namespace {

void escape(std::string& out, unsigned char byte) {
    char text[8];
    std::snprintf(text, sizeof text, "\\x%02x", byte);
    out += text;
}

// The length of the valid UTF-8 sequence at `at` (1 to 4), or 0.
size_t sequence_length(std::string_view text, size_t at, uint32_t* code) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const size_t length = lead < 0x80                   ? 1
                          : lead >= 0xC2 && lead < 0xE0 ? 2
                          : lead >= 0xE0 && lead < 0xF0 ? 3
                          : lead >= 0xF0 && lead < 0xF5 ? 4
                                                        : 0;
    if (length == 0 || at + length > text.size()) {
        return 0;
    }
    uint32_t value = length == 1 ? lead : lead & (0x7Fu >> length);
    for (size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xC0) != 0x80) {
            return 0;
        }
        value = (value << 6) | (next & 0x3Fu);
    }
    const uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < smallest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        return 0;
    }
    *code = value;
    return length;
}

}  // namespace

std::string terminal_safe(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t at = 0; at < text.size();) {
        uint32_t code = 0;
        const size_t length = sequence_length(text, at, &code);
        if (length == 0) {
            escape(out, static_cast<unsigned char>(text[at]));
            ++at;
            continue;
        }
        if (code < 0x20 || code == 0x7F || (code >= 0x80 && code < 0xA0)) {
            for (size_t i = 0; i < length; ++i) {
                escape(out, static_cast<unsigned char>(text[at + i]));
            }
        } else {
            out.append(text.substr(at, length));
        }
        at += length;
    }
    return out;
}

}  // namespace lintora
