// The About box: the program's icon, name, version (the FileVersion of its own version
// resource, block 041103a4) and copyright notice.
#pragma once

#include "app/ui/dialog.h"
#include "app/version_library.h"

namespace lintora {

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
