#include <windows.h>

#include <string>

#include "platform/encoding/utf.h"
#include "platform/outcome.h"

namespace lintora {

Outcome last_system_failure() {
    const DWORD code = GetLastError();
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::u16string words;
    if (length != 0 && text != nullptr) {
        words.assign(reinterpret_cast<const char16_t*>(text), length);
        while (!words.empty() && (words.back() == u'\n' || words.back() == u'\r' ||
                                  words.back() == u' ' || words.back() == u'.')) {
            words.pop_back();
        }
    }
    LocalFree(text);
    std::string reason = utf16_for_display(words);
    reason += (reason.empty() ? "Windows error " : " (Windows error ") + std::to_string(code) +
              (reason.empty() ? "" : ")");
    Outcome failed = Outcome::failure(reason);
    failed.cause = failure_class_of_windows_error(code);
    return failed;
}

}  // namespace lintora
