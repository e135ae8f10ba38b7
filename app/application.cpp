#include "app/application.h"

#include <commctrl.h>

#include "app/main_dialog.h"
#include "app/messages.h"
#include "app/resource.h"
#include "app/ui/common_controls.h"

namespace lintora {

namespace {

// Full access to a key of the machine's services is what only an administrator has.
bool registry_allows_administration() {
    HKEY key = nullptr;
    const LONG status =
        ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Services", 0,
                          const_cast<wchar_t*>(L""), 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS) {
        return false;
    }
    ::RegCloseKey(key);
    return true;
}

bool in_remote_session() {
    return ::GetSystemMetrics(SM_REMOTESESSION) != 0;
}

}  // namespace

StartupProbes system_probes() {
    return StartupProbes{&registry_allows_administration, &in_remote_session};
}

bool activate_running_instance() {
    for (HWND window = ::GetWindow(::GetDesktopWindow(), GW_CHILD); window != nullptr;
         window = ::GetWindow(window, GW_HWNDNEXT)) {
        if (::GetPropW(window, kInstanceName) != nullptr) {
            if (::IsIconic(window)) {
                ::ShowWindow(window, SW_RESTORE);
            }
            ::SetForegroundWindow(::GetLastActivePopup(window));
            return true;
        }
    }
    return false;
}

bool CVekFormatterApp::check_single_instance() {
    if (probes_.is_remote_session()) {
        show_message(nullptr, IDS_REMOTE, MB_OK | MB_ICONERROR);
        return false;
    }
    HANDLE probe = ::CreateMutexW(nullptr, FALSE, kInstanceName);
    if (probe != nullptr) {
        const DWORD error = ::GetLastError();
        ::CloseHandle(probe);
        if (error != ERROR_ALREADY_EXISTS) {
            return true;
        }
    }
    if (!activate_running_instance()) {
        show_message(nullptr, IDS_IN_USE, MB_OK | MB_ICONERROR);
    }
    return false;
}

BOOL CVekFormatterApp::InitInstance() {
    ui::init_common_controls(ICC_WIN95_CLASSES);
    if (!probes_.is_administrator()) {
        show_message(nullptr, IDS_NOT_ADMIN, MB_OK | MB_ICONERROR);
        return FALSE;
    }
    if (!check_single_instance()) {
        return FALSE;
    }
    CVekFormatterDlg dialog(sources_);
    dialog.DoModal();
    return FALSE;
}

}  // namespace lintora
