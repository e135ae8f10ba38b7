#include "tools/json_text.h"

#include <cstdint>
#include <cstdio>

#include "platform/encoding/utf.h"

namespace lintora {

namespace {

void append_escape(std::string& out, uint32_t unit) {
    char escape[8];
    std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(unit));
    out += escape;
}

}  // namespace

std::string json_string(std::u16string_view text) {
    std::string out = "\"";
    for (size_t i = 0; i < text.size(); ++i) {
        const uint32_t unit = text[i];
        if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000) {
            append_utf8(out, 0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00u));
            ++i;
        } else if (unit >= 0xD800 && unit < 0xE000) {
            append_escape(out, unit);  // lone: JSON's escape keeps it, UTF-8 could not
        } else if (unit == u'"' || unit == u'\\') {
            out += '\\';
            out += static_cast<char>(unit);
        } else if (unit < 0x20 || unit == 0x7F) {
            append_escape(out, unit);
        } else {
            append_utf8(out, unit);
        }
    }
    return out + "\"";
}

}  // namespace lintora
