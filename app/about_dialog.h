// The About box: the program's icon, name, version (the FileVersion of its own version
// resource, block 041103a4) and copyright notice.
#pragma once

#include <string>

#include "app/ui/dialog.h"
#include "app/version_library.h"

namespace lintora {

// `pattern` ("Version: %s") with the FileVersion of block 041103a4 of the file at `path`, or
// `pattern` unchanged when anything on the way fails.
std::wstring version_text(const CVerLib& lib, const wchar_t* path, const std::wstring& pattern);

class CAboutDlg : public ui::CDialog, public CVerLib {
  public:
    CAboutDlg();
    ~CAboutDlg() override;

  protected:
    void DoDataExchange() override;
    BOOL OnInitDialog() override;
    LRESULT WindowProc(UINT message, WPARAM w, LPARAM l) override;

    ui::CStatic version_static;
};

}  // namespace lintora
