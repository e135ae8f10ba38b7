// The program's window: the disk list, the data-loss warning and its confirmation box, the Start
// and Close buttons, the progress bar, and the About and licence items of the system menu.
#pragma once

#include <memory>

#include "app/disk_sources.h"
#include "app/ui/dialog.h"
#include "discovery/disk_info.h"
#include "prep/format_job.h"

namespace lintora {

// The instance name: the named mutex and the window property of the running program.
inline constexpr wchar_t kInstanceName[] = L"Global\\VekFmtTool2013";

class CVekFormatterDlg : public ui::CDialog {
  public:
    explicit CVekFormatterDlg(DiskSources sources);
    ~CVekFormatterDlg() override = default;

    // Rebuilds the list; 1 when it did, 0 when it was deferred (a prompt is up) or skipped (busy).
    int refresh_disk_list();
    // Enabling, visibility and system-menu state from `busy`, the list and the check box.
    void update_controls();

  protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override {}
    void DoDataExchange() override;
    LRESULT WindowProc(UINT message, WPARAM w, LPARAM l) override;

    // Runs the format job on `job_disk_` and shows its result; the format thread replaces it.
    virtual void start_format_job();
    // After the job: the result message, then idle again with a refreshed list.
    void finish_format_job();

    // More than 8 listed disks end the program after message 108.
    void apply_disk_limit();
    void add_system_menu_items();
    void open_licence() const;
    void paint_minimised_icon();
    void on_selection_changed();
    void end_start_flow();
    bool find_again(const DiskInfo& wanted, DiskInfo* fresh);

    DiskSources sources_;
    HANDLE instance_mutex_ = nullptr;
    HICON icon_ = nullptr;
    ui::CComboBox disk_list_;
    ui::CProgressCtrl progress_;
    int32_t busy_ = 0;
    ui::CButton start_;
    ui::CButton close_;
    ui::CStatic formatting_;
    ui::CButton confirm_;
    ui::CStatic status_;
    std::unique_ptr<DiskList> disks_;
    FormatJobResult job_result_ = 0;
    DiskInfo job_disk_{};
    int32_t prompt_active_ = 0;
    int32_t refresh_pending_ = 0;
    int32_t last_selection_ = -1;
};

}  // namespace lintora
