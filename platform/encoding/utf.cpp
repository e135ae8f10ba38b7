#include "platform/encoding/utf.h"

#include <cstdint>

namespace lintora {

namespace {

constexpr uint32_t kInvalid = 0xFFFFFFFF;

// Decodes one well-formed UTF-8 sequence at `i` (advancing `i`), or gives kInvalid and leaves
// `i` alone.
uint32_t decode_utf8(std::string_view text, size_t& i) {
    const auto byte = [&](size_t k) { return static_cast<uint8_t>(text[k]); };
    const uint8_t lead = byte(i);
    if (lead < 0x80) {
        ++i;
        return lead;
    }
    size_t extra = 0;
    uint32_t cp = 0;
    uint32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        extra = 1, cp = lead & 0x1Fu, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        extra = 2, cp = lead & 0x0Fu, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        extra = 3, cp = lead & 0x07u, minimum = 0x10000;
    } else {
        return kInvalid;
    }
    if (i + extra >= text.size()) {
        return kInvalid;
    }
    for (size_t k = 1; k <= extra; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            return kInvalid;
        }
        cp = (cp << 6) | (byte(i + k) & 0x3Fu);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        return kInvalid;
    }
    i += extra + 1;
    return cp;
}

void append_utf16(std::u16string& out, uint32_t cp) {
    if (cp >= 0x10000) {
        cp -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (cp >> 10));
        out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
        out += static_cast<char16_t>(cp);
    }
}

// Decodes one code point at `i` (advancing `i`): a surrogate pair or a single unit; a lone
// surrogate comes back as itself.
uint32_t decode_utf16(std::u16string_view text, size_t& i) {
    const uint32_t unit = text[i++];
    if (unit >= 0xD800 && unit < 0xDC00 && i < text.size() && text[i] >= 0xDC00 &&
        text[i] < 0xE000) {
        return 0x10000 + ((unit - 0xD800) << 10) + (static_cast<uint32_t>(text[i++]) - 0xDC00);
    }
    return unit;
}

bool is_surrogate(uint32_t cp) {
    return cp >= 0xD800 && cp <= 0xDFFF;
}

}  // namespace

void append_utf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::optional<std::u16string> utf8_to_utf16(std::string_view text) {
    std::u16string out;
    for (size_t i = 0; i < text.size();) {
        const uint32_t cp = decode_utf8(text, i);
        if (cp == kInvalid) {
            return std::nullopt;
        }
        append_utf16(out, cp);
    }
    return out;
}

std::optional<std::string> utf16_to_utf8(std::u16string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size();) {
        const uint32_t cp = decode_utf16(text, i);
        if (is_surrogate(cp)) {
            return std::nullopt;
        }
        append_utf8(out, cp);
    }
    return out;
}

std::string utf16_for_display(std::u16string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size();) {
        const uint32_t cp = decode_utf16(text, i);
        append_utf8(out, is_surrogate(cp) ? 0xFFFDu : cp);
    }
    return out;
}

std::u16string path_to_utf16(std::string_view bytes) {
    std::u16string out;
    for (size_t i = 0; i < bytes.size();) {
        const uint32_t cp = decode_utf8(bytes, i);
        if (cp == kInvalid) {
            out += static_cast<char16_t>(0xDC00 + static_cast<uint8_t>(bytes[i++]));
        } else {
            append_utf16(out, cp);
        }
    }
    return out;
}

std::optional<std::string> path_from_utf16(std::u16string_view path) {
    std::string out;
    for (size_t i = 0; i < path.size();) {
        const uint32_t cp = decode_utf16(path, i);
        if (cp >= 0xDC80 && cp <= 0xDCFF) {
            out += static_cast<char>(cp - 0xDC00);
        } else if (is_surrogate(cp)) {
            return std::nullopt;
        } else {
            append_utf8(out, cp);
        }
    }
    // Escaped bytes that happen to form valid UTF-8 side by side would come back as text.
    if (path_to_utf16(out) != path) {
        return std::nullopt;
    }
    return out;
}

std::string path_for_display(std::u16string_view path) {
    const std::optional<std::string> bytes = path_from_utf16(path);
    return bytes ? *bytes : utf16_for_display(path);
}

}  // namespace lintora
