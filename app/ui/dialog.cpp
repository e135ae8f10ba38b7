#include "app/ui/dialog.h"

#include "app/ui/common_controls.h"

namespace lintora::ui {

namespace {

constexpr wchar_t kSelf[] = L"lintora.dialog";

CDialog* dialog_of(HWND window) {
    return static_cast<CDialog*>(::GetPropW(window, kSelf));
}

}  // namespace

std::wstring load_string(UINT id) {
    const wchar_t* text = nullptr;
    const int length =
        ::LoadStringW(::GetModuleHandleW(nullptr), id, reinterpret_cast<wchar_t*>(&text), 0);
    return length > 0 && text != nullptr ? std::wstring(text, static_cast<size_t>(length))
                                         : std::wstring();
}

INT_PTR CDialog::DoModal(HWND owner) {
    init_common_controls(ICC_WIN95_CLASSES);  // the progress bar's class
    return ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(template_id_), owner,
                             &CDialog::StartProc, reinterpret_cast<LPARAM>(this));
}

BOOL CDialog::OnInitDialog() {
    DoDataExchange();
    return TRUE;
}

bool CDialog::OnCommand(int id, int code) {
    if (code > BN_CLICKED) {
        return false;
    }
    if (id == IDOK) {
        OnOK();
        return true;
    }
    if (id == IDCANCEL) {
        OnCancel();
        return true;
    }
    return false;
}

LRESULT CDialog::WindowProc(UINT message, WPARAM w, LPARAM l) {
    bool handled = false;
    switch (message) {
        case WM_COMMAND:
            handled = OnCommand(LOWORD(w), HIWORD(w));
            break;
        case WM_TIMER:
            handled = OnTimer(w);
            break;
        case WM_SYSCOMMAND:
            handled = OnSysCommand(static_cast<UINT>(w & 0xFFF0));
            break;
        case WM_DEVICECHANGE:
            handled = OnDeviceChange(w, l);
            break;
        case WM_DESTROY:
            OnDestroy();
            break;
        default:
            break;
    }
    return handled ? 0 : DefWindowProc(message, w, l);
}

LRESULT CDialog::DefWindowProc(UINT message, WPARAM w, LPARAM l) {
    return ::CallWindowProcW(original_, m_hWnd, message, w, l);
}

// The dialog procedure handles only WM_INITDIALOG: it subclasses the new window, then every
// other message reaches WindowProc through SubclassProc.
INT_PTR CALLBACK CDialog::StartProc(HWND window, UINT message, WPARAM, LPARAM l) {
    if (message != WM_INITDIALOG) {
        return FALSE;
    }
    auto* self = reinterpret_cast<CDialog*>(l);
    self->m_hWnd = window;
    ::SetPropW(window, kSelf, self);
    self->original_ = reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(
        window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CDialog::SubclassProc)));
    try {
        return self->OnInitDialog();
    } catch (...) {
        self->report_exception();
        return TRUE;
    }
}

void CDialog::report_exception() {
    try {
        OnException();
    } catch (...) {
        // Nothing more can be done for it; the window stays usable.
    }
}

LRESULT CALLBACK CDialog::SubclassProc(HWND window, UINT message, WPARAM w, LPARAM l) {
    CDialog* self = dialog_of(window);
    if (message == WM_NCDESTROY) {
        const WNDPROC original = self->original_;
        ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
        ::RemovePropW(window, kSelf);
        const LRESULT result = ::CallWindowProcW(original, window, message, w, l);
        self->m_hWnd = nullptr;
        return result;
    }
    try {
        return self->WindowProc(message, w, l);
    } catch (...) {
        self->report_exception();
        return 0;
    }
}

}  // namespace lintora::ui
