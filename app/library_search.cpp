#include "app/library_search.h"

#include <windows.h>

#include "platform/system_library_win32.h"

namespace lintora {

bool restrict_library_search() {
    using SetDirectories = BOOL(WINAPI*)(DWORD);
    constexpr DWORD kSystem32Only = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
    SetDirectories set = nullptr;
    // kernel32 is mapped into every process before its first instruction: nothing is searched.
    const HMODULE kernel32 = ::GetModuleHandleW(L"kernel32.dll");
    if (kernel32 == nullptr || !bind_entry(kernel32, "SetDefaultDllDirectories", &set)) {
        return false;
    }
    return set(kSystem32Only) != FALSE;
}

}  // namespace lintora
