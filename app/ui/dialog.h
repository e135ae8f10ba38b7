// A modal dialog from a dialog template, with the hooks a program overrides: OnInitDialog,
// OnOK, OnCancel, DoDataExchange, and WindowProc with DefWindowProc for every other message.
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

    INT_PTR DoModal();
    void EndDialog(int result) const { ::EndDialog(m_hWnd, result); }

  protected:
    virtual BOOL OnInitDialog();
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }
    virtual void DoDataExchange() {}
    virtual LRESULT WindowProc(UINT message, WPARAM w, LPARAM l);
    virtual LRESULT DefWindowProc(UINT message, WPARAM w, LPARAM l);

    // Binds a control object to the control `id` of this dialog.
    void DDX_Control(int id, CWnd& control) const { control.Attach(GetDlgItem(id)); }

  private:
    static INT_PTR CALLBACK StartProc(HWND window, UINT message, WPARAM w, LPARAM l);
    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM w, LPARAM l);

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
