// A modal dialog from a dialog template, with the hooks a program overrides: OnInitDialog,
// OnOK, OnCancel, DoDataExchange, the typed message hooks (OnCommand, OnTimer, OnSysCommand,
// OnDeviceChange, OnDestroy), WindowProc for any other message with DefWindowProc after it, and
// OnException for an exception that escapes any of them.
// The dialog window is subclassed once it exists, so WindowProc sees its messages first and
// DefWindowProc hands them on to the system's dialog procedure.
#pragma once

#include "app/ui/window.h"

namespace lintora::ui {

class CDialog : public CWnd {
  public:
    explicit CDialog(UINT template_id) : template_id_(template_id) {}
    virtual ~CDialog() = default;
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // Runs the dialog modally; an owner is disabled while it runs and keeps it in front, and the
    // dialog gets no taskbar button of its own.
    INT_PTR DoModal(HWND owner = nullptr);
    void EndDialog(int result) const { ::EndDialog(m_hWnd, result); }

  protected:
    virtual BOOL OnInitDialog();
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }
    virtual void DoDataExchange() {}
    // The typed hooks WindowProc calls for their messages. One that returns true has handled the
    // message (answered 0); false lets the system's dialog procedure handle it as well.
    // A button's command: IDOK and IDCANCEL clicks call OnOK and OnCancel.
    virtual bool OnCommand(int id, int code);
    virtual bool OnTimer(UINT_PTR) { return false; }
    // `command` without its low four bits, as the system menu's items are compared.
    virtual bool OnSysCommand(UINT) { return false; }
    virtual bool OnDeviceChange(WPARAM, LPARAM) { return false; }
    virtual void OnDestroy() {}
    // Every message first: the typed hooks for theirs, then DefWindowProc.
    virtual LRESULT WindowProc(UINT message, WPARAM w, LPARAM l);
    virtual LRESULT DefWindowProc(UINT message, WPARAM w, LPARAM l);
    // No exception crosses into the system's window code: one that escapes a hook ends up here,
    // after which the message counts as handled.
    virtual void OnException() {}

    // Binds a control object to the control `id` of this dialog.
    void DDX_Control(int id, CWnd& control) const { control.Attach(GetDlgItem(id)); }

  private:
    static INT_PTR CALLBACK StartProc(HWND window, UINT message, WPARAM w, LPARAM l);
    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM w, LPARAM l);
    void report_exception();

    UINT template_id_;
    WNDPROC original_ = nullptr;
};

// The application object: InitInstance runs the program.
class CWinAppEx {
  public:
    virtual ~CWinAppEx() = default;
    virtual BOOL InitInstance() { return FALSE; }
};

}  // namespace lintora::ui
