// <shellapi.h> builds on <windows.h>, which must come first.
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on
#include <io.h>

#include "platform/console.h"
#include "platform/encoding/utf.h"

namespace lintora {

bool is_terminal(std::FILE* stream) {
    return _isatty(_fileno(stream)) != 0;
}

int terminal_columns(std::FILE* stream) {
    const HANDLE console = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!GetConsoleScreenBufferInfo(console, &info)) {
        return 0;
    }
    return info.srWindow.Right - info.srWindow.Left + 1;
}

// The target is opened as a Win32 handle, never as a C runtime descriptor: no target can take a
// standard stream's place.
bool hold_standard_streams() {
    return true;
}

std::optional<std::vector<std::string>> program_arguments(int, char**) {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) {
        return std::nullopt;
    }
    std::vector<std::string> words;
    bool valid = true;
    for (int i = 1; i < count && valid; ++i) {
        const std::optional<std::string> word =
            utf16_to_utf8(reinterpret_cast<const char16_t*>(wide[i]));
        valid = word.has_value();
        if (valid) {
            words.push_back(*word);
        }
    }
    LocalFree(wide);
    if (!valid) {
        return std::nullopt;
    }
    return words;
}

}  // namespace lintora
