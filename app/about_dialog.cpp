#include "app/about_dialog.h"

#include <memory>
#include <new>
#include <string>

#include "app/resource.h"

namespace lintora {

CAboutDlg::CAboutDlg() : ui::CDialog(IDD_ABOUT) {
    load_version_library(*this);
}

CAboutDlg::~CAboutDlg() {
    version_static.Attach(nullptr);
    unload_library(*this);
}

void CAboutDlg::DoDataExchange() {
    DDX_Control(IDC_VERSION, version_static);
}

std::wstring version_text(const CVerLib& lib, const wchar_t* path, const std::wstring& pattern) {
    DWORD handle = 0;
    const DWORD size = ver_get_file_version_info_size(lib, path, &handle);
    if (size == 0) {
        return pattern;
    }
    std::unique_ptr<uint8_t[]> block(new (std::nothrow) uint8_t[size + 10]());
    if (!block || !ver_get_file_version_info(lib, path, block.get(), size)) {
        return pattern;
    }
    void* value = nullptr;
    UINT length = 0;
    if (!ver_query_value(lib, block.get(), L"\\StringFileInfo\\041103a4\\FileVersion", &value,
                         &length) ||
        value == nullptr) {
        return pattern;
    }
    // The template's one string argument is the version.
    std::wstring text = pattern;
    const size_t at = text.find(L"%s");
    if (at != std::wstring::npos) {
        text.replace(at, 2, static_cast<const wchar_t*>(value));
    }
    return text;
}

BOOL CAboutDlg::OnInitDialog() {
    ui::CDialog::OnInitDialog();
    wchar_t path[270] = {};
    ::GetModuleFileNameW(nullptr, path, 270);
    const std::wstring pattern = version_static.GetWindowText();
    const std::wstring text = version_text(*this, path, pattern);
    if (text != pattern) {
        version_static.SetWindowText(text);
    }
    return TRUE;
}

LRESULT CAboutDlg::WindowProc(UINT message, WPARAM w, LPARAM l) {
    if (message == WM_HELP) {
        return TRUE;
    }
    return ui::CDialog::WindowProc(message, w, l);
}

}  // namespace lintora
