// LintoraScreens.exe: the main dialog over two made-up maker disks (or none), in the state the
// screenshot script asks for: "idle", "ticked", "empty" or "about". Not shipped.
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on

#include <string>

#include "app/library_search.h"
#include "app/main_dialog.h"
#include "app/resource.h"
#include "app/testing/fake_disks.h"
#include "app/ui/common_controls.h"
#include "platform/fake/fake_raw_disk.h"

namespace {

class ScreenDialog final : public lintora::CVekFormatterDlg {
  public:
    ScreenDialog(lintora::DiskSources sources, std::wstring state)
        : CVekFormatterDlg(std::move(sources)), state_(std::move(state)) {}

  protected:
    BOOL OnInitDialog() override {
        CVekFormatterDlg::OnInitDialog();
        if (state_ == L"ticked") {
            ::PostMessageW(GetDlgItem(IDC_CONFIRM), BM_CLICK, 0, 0);
        } else if (state_ == L"about") {
            ::PostMessageW(m_hWnd, WM_SYSCOMMAND, IDM_ABOUT, 0);
        }
        return TRUE;
    }

  private:
    std::wstring state_;
};

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    lintora::restrict_library_search();
    int count = 0;
    wchar_t** words = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    const std::wstring state = count > 1 ? words[1] : L"idle";
    ::LocalFree(words);

    lintora::ui::init_common_controls(ICC_WIN95_CLASSES);
    lintora::FakeDisks fake;
    if (state != L"empty") {
        fake.plug(u"Marovan Ext Disk USB Device", 2000398934016, "EF");
        fake.plug(u"Marovan Ext Disk USB Device", 4000787030016, "", 4096);
    }
    lintora::FakeDiskSystem disks;
    ScreenDialog dialog(
        lintora::DiskSources{[&] { return std::make_unique<lintora::FakeDeviceTree>(fake.tree); },
                             &fake.storage, &disks},
        state);
    dialog.DoModal();
    return 0;
}
