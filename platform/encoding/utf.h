// Conversions between UTF-8 (command lines, POSIX paths) and UTF-16 (Windows paths, NTFS names).
// Text conversions are strict: overlong forms, encoded surrogates, lone surrogates and truncated
// sequences give nothing rather than a guess, so no text is ever silently rewritten.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lintora {

std::optional<std::u16string> utf8_to_utf16(std::string_view text);
// Appends the UTF-8 bytes of one code point (a surrogate is written as it is: callers decide).
void append_utf8(std::string& out, uint32_t code_point);
std::optional<std::string> utf16_to_utf8(std::u16string_view text);

// For messages only: malformed units show as U+FFFD.
std::string utf16_for_display(std::u16string_view text);

// A file-system path as bytes, in the UTF-16 form the disk records carry. Valid UTF-8 is
// decoded; every byte that is not part of valid UTF-8 becomes the lone surrogate U+DC00 + byte,
// so any byte string (a Latin-1 name, say) survives the trip.
std::u16string path_to_utf16(std::string_view bytes);
// The bytes back; nothing when the UTF-16 form does not come back to itself through them.
std::optional<std::string> path_from_utf16(std::u16string_view path);

// A path for messages: its bytes when it has them, else its text with U+FFFD for what is not.
std::string path_for_display(std::u16string_view path);

}  // namespace lintora
