#include "app/ui/common_controls.h"

#include <commctrl.h>

#include "platform/system_library_win32.h"

namespace lintora::ui {

namespace {

using InitFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);

// Kept for the life of the process, as a static import would be.
InitFn bound_init() {
    static const InitFn init = [] {
        // By name, so that the manifest's side-by-side version is found, and from the system
        // only. Systems that lack the search flag refuse it as an invalid parameter.
        HMODULE module = ::LoadLibraryExW(L"comctl32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        if (module == nullptr && ::GetLastError() == ERROR_INVALID_PARAMETER) {
            module = ::LoadLibraryW(L"comctl32.dll");
        }
        InitFn found = nullptr;
        if (module != nullptr) {
            bind_entry(module, "InitCommonControlsEx", &found);
        }
        return found;
    }();
    return init;
}

}  // namespace

bool init_common_controls(DWORD classes) {
    const InitFn init = bound_init();
    if (init == nullptr) {
        return false;
    }
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), classes};
    return init(&controls) != FALSE;
}

}  // namespace lintora::ui
