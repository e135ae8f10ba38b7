#include "platform/device_tree.h"

#include <cstring>

namespace lintora {

int32_t answer_text(const std::u16string& text, char16_t* buffer, uint32_t units) {
    if (text.size() + 1 > units) {
        return kCmBufferSmall;
    }
    std::memcpy(buffer, text.c_str(), (text.size() + 1) * sizeof(char16_t));
    return kCmSuccess;
}

int32_t answer_property(const std::u16string& value, void* buffer, uint32_t* length) {
    if (value.empty()) {
        return kCmNoSuchValue;
    }
    const auto bytes = static_cast<uint32_t>((value.size() + 1) * sizeof(char16_t));
    if (buffer == nullptr || *length < bytes) {
        *length = bytes;
        return kCmBufferSmall;
    }
    std::memcpy(buffer, value.c_str(), bytes);
    *length = bytes;
    return kCmSuccess;
}

}  // namespace lintora
