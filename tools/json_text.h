// JSON text for the tool's machine-readable output: strings from UTF-16, where a lone surrogate
// (a path byte that is not UTF-8, kept as U+DC80..U+DCFF) stays lossless as a "\udcXX" escape.
#pragma once

#include <string>
#include <string_view>

namespace lintora {

// The quoted JSON string of `text`: valid pairs and other characters as UTF-8, quotes,
// backslashes and control characters escaped, lone surrogates as \u escapes.
std::string json_string(std::u16string_view text);

}  // namespace lintora
