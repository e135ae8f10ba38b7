// Thin wrappers over a window handle and the common controls: one-line calls, no framework.
// They know nothing of disks.
#pragma once

// <commctrl.h> builds on <windows.h>, which must come first.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <string>

namespace lintora::ui {

class CWnd {
  public:
    HWND m_hWnd = nullptr;

    void Attach(HWND window) { m_hWnd = window; }
    LRESULT SendMessage(UINT message, WPARAM w = 0, LPARAM l = 0) const {
        return ::SendMessageW(m_hWnd, message, w, l);
    }
    BOOL EnableWindow(BOOL enable = TRUE) const { return ::EnableWindow(m_hWnd, enable); }
    BOOL ShowWindow(int command) const { return ::ShowWindow(m_hWnd, command); }
    BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
    void SetWindowText(const std::wstring& text) const { ::SetWindowTextW(m_hWnd, text.c_str()); }
    std::wstring GetWindowText() const {
        std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(m_hWnd)) + 1, L'\0');
        text.resize(static_cast<size_t>(
            ::GetWindowTextW(m_hWnd, text.data(), static_cast<int>(text.size()))));
        return text;
    }
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
};

class CStatic : public CWnd {};

class CButton : public CWnd {
  public:
    int GetCheck() const { return static_cast<int>(SendMessage(BM_GETCHECK)); }
    void SetCheck(int state) const { SendMessage(BM_SETCHECK, static_cast<WPARAM>(state)); }
};

class CComboBox : public CWnd {
  public:
    int GetCount() const { return static_cast<int>(SendMessage(CB_GETCOUNT)); }
    int GetCurSel() const { return static_cast<int>(SendMessage(CB_GETCURSEL)); }
    int SetCurSel(int index) const {
        return static_cast<int>(SendMessage(CB_SETCURSEL, static_cast<WPARAM>(index)));
    }
    void ResetContent() const { SendMessage(CB_RESETCONTENT); }
    int AddString(const std::wstring& text) const {
        return static_cast<int>(
            SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str())));
    }
};

class CProgressCtrl : public CWnd {
  public:
    void SetRange(int low, int high) const {
        SendMessage(PBM_SETRANGE32, static_cast<WPARAM>(low), high);
    }
    int SetPos(int position) const {
        return static_cast<int>(SendMessage(PBM_SETPOS, static_cast<WPARAM>(position)));
    }
};

// A string of the program's string table.
std::wstring load_string(UINT id);

}  // namespace lintora::ui
