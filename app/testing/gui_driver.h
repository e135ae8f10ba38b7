// Drives a real dialog from a second thread, as a user would: it waits for windows, clicks
// controls, answers message boxes and reads the controls back. For the GUI tests.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace lintora {

class GuiDriver {
  public:
    // Runs `run_dialog` (a modal loop) on this thread and `script` on another; the script gets
    // the driver, whose window() is the dialog once it is shown (`dialog` null: no dialog, only
    // message boxes).
    static void run(const std::function<void()>& run_dialog, HWND* dialog,
                    const std::function<void(GuiDriver&)>& script);

    // A driver for a dialog that already runs, in this process or another.
    static GuiDriver attach(HWND dialog) {
        GuiDriver driver;
        driver.window_ = dialog;
        driver.gui_thread_ = ::GetWindowThreadProcessId(dialog, nullptr);
        return driver;
    }

    HWND window() const { return window_; }
    HWND item(int id) const { return ::GetDlgItem(window_, id); }
    bool enabled(int id) const { return ::IsWindowEnabled(item(id)) != FALSE; }
    bool visible(int id) const { return ::IsWindowVisible(item(id)) != FALSE; }
    bool checked(int id) const;
    std::wstring text(int id) const;
    std::wstring list_line(int index) const;
    int list_count() const;
    int list_selection() const;

    // A click on a button or check box that opens no box; the dialog has handled it on return.
    void click(int id) const;
    // A click whose handling opens a message box: posted, so the script goes on meanwhile.
    void post_click(int id) const;
    void select(int index) const;
    void post(UINT message, WPARAM w = 0, LPARAM l = 0) const;
    LRESULT send(UINT message, WPARAM w = 0, LPARAM l = 0) const;

    // The next message box (or other dialog) owned by the GUI thread, with all its text; waits
    // up to `milliseconds`; no window and empty text when none came.
    struct Box {
        HWND window = nullptr;
        std::wstring text;
        // The MB_ style a message box shows, read back from it: its buttons (MB_OK, MB_YESNO),
        // its icon (MB_ICONERROR, MB_ICONEXCLAMATION, MB_ICONINFORMATION, MB_ICONQUESTION) and
        // its default button (MB_DEFBUTTON1 to 3, by position).
        UINT style = 0;
    };
    Box wait_for_box(int milliseconds = 10000) const;
    // Presses a button of a box (IDYES, IDNO, IDOK) and waits until the box is gone.
    void answer(const Box& box, int button) const;
    // Waits until the dialog window is destroyed.
    bool wait_until_closed() const;

  private:
    HWND window_ = nullptr;
    DWORD gui_thread_ = 0;
};

}  // namespace lintora
