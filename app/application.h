// The application object: the start-up guards (administrator rights, remote session, a second
// instance), then the main dialog, run modally; the process ends when it closes.
#pragma once

#include "app/disk_sources.h"
#include "app/ui/dialog.h"

namespace lintora {

// What the guards ask the system; tests replace them.
struct StartupProbes {
    bool (*is_administrator)() = nullptr;
    bool (*is_remote_session)() = nullptr;
};
StartupProbes system_probes();

// Brings the window of a running instance (its last active popup) to the front; false when
// there is none.
bool activate_running_instance();

class CVekFormatterApp : public ui::CWinAppEx {
  public:
    CVekFormatterApp(DiskSources sources, StartupProbes probes)
        : sources_(std::move(sources)), probes_(probes) {}

    BOOL InitInstance() override;
    // Remote-session test and instance probe; true: go on.
    bool check_single_instance();

  private:
    DiskSources sources_;
    StartupProbes probes_;
};

}  // namespace lintora
