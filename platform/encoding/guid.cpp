#include "platform/encoding/guid.h"

#include <cstdio>

namespace lintora {

namespace {

int hex_value(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Stored byte index of each pair of hex digits in the text, in text order.
constexpr int kStoredOrder[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};

}  // namespace

Guid guid_from_text(const char* text) {
    Guid guid;
    int pair = 0;
    for (const char* p = text; *p != '\0' && pair < 16;) {
        if (*p == '-') {
            ++p;
            continue;
        }
        const int high = hex_value(p[0]);
        const int low = p[1] == '\0' ? -1 : hex_value(p[1]);
        if (high < 0 || low < 0) {
            return Guid{};
        }
        guid.bytes[kStoredOrder[pair++]] = static_cast<uint8_t>(high * 16 + low);
        p += 2;
    }
    return pair == 16 ? guid : Guid{};
}

std::string guid_to_text(const Guid& guid) {
    std::string text;
    char digits[3];
    for (int pair = 0; pair < 16; ++pair) {
        if (pair == 4 || pair == 6 || pair == 8 || pair == 10) {
            text += '-';
        }
        std::snprintf(digits, sizeof digits, "%02X", guid.bytes[kStoredOrder[pair]]);
        text += digits;
    }
    return text;
}

}  // namespace lintora
