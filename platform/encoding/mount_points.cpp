#include "platform/encoding/mount_points.h"

namespace lintora {

uint32_t drive_letters_of_mount_points(const char16_t* list, size_t units) {
    uint32_t letters = 0;
    size_t at = 0;
    while (at < units && list[at] != u'\0') {
        size_t end = at;
        while (end < units && list[end] != u'\0') {
            ++end;
        }
        // A drive's root is three units: a letter, a colon and a backslash.
        if (end - at == 3 && list[at + 1] == u':' && list[at + 2] == u'\\') {
            const char16_t letter = list[at] >= u'a' && list[at] <= u'z'
                                        ? static_cast<char16_t>(list[at] - u'a' + u'A')
                                        : list[at];
            if (letter >= u'A' && letter <= u'Z') {
                letters |= 1u << (letter - u'A');
            }
        }
        at = end + 1;
    }
    return letters;
}

}  // namespace lintora
