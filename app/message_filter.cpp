#include "app/message_filter.h"

#include "platform/system_library_win32.h"

namespace lintora {

bool allow_message_from_lower_integrity(HWND window, UINT message) {
    using ChangeFilter = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
    constexpr DWORD kAllow = 1;  // MSGFLT_ALLOW
    ChangeFilter change = nullptr;
    // user32 is part of every windowed process already; nothing is searched for.
    const HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
    if (user32 == nullptr || !bind_entry(user32, "ChangeWindowMessageFilterEx", &change)) {
        return false;
    }
    return change(window, message, kAllow, nullptr) != FALSE;
}

}  // namespace lintora
