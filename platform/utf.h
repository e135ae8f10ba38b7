// Conversions between UTF-8 (command lines, POSIX paths) and UTF-16 (Windows paths, NTFS names).
#pragma once

#include <string>

namespace lintora {

std::string utf16_to_utf8(const char16_t* text);
std::u16string utf8_to_utf16(const std::string& text);

}  // namespace lintora
