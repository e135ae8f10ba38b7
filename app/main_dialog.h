// The program's window: the disk list, the data-loss warning and its confirmation box, the Start
// and Close buttons, the progress bar, and the About and licence items of the system menu.
#pragma once

#include <memory>

#include "app/disk_sources.h"
#include "app/format_thread.h"
#include "app/message_filter.h"
#include "app/ui/dialog.h"
#include "discovery/disk_info.h"
#include "prep/format_job.h"

namespace lintora {

// The instance name: the named mutex and the window property of the running program.
inline constexpr wchar_t kInstanceName[] = L"Global\\VekFmtTool2013";

// Posted by the format thread when the job has ended, and by the dialog to itself 1.5 s later.
inline constexpr UINT WM_FORMAT_DONE = WM_USER + 102;
inline constexpr UINT WM_FORMAT_REPORT = WM_USER + 101;
inline constexpr UINT_PTR kResultTimerId = 101;
inline constexpr UINT kResultDelayMs = 1500;

class CVekFormatterDlg : public ui::CDialog {
  public:
    explicit CVekFormatterDlg(DiskSources sources);
    ~CVekFormatterDlg() override = default;

    // Rebuilds the list; 1 when it did, 0 when it was deferred (a prompt is up) or skipped (busy).
    int refresh_disk_list();
    // Enabling, visibility and system-menu state from `busy`, the list and the check box.
    void update_controls();
    // How the dialog lets the AutoPlay question through from Explorer (tests record it).
    void set_message_filter(MessageFilter filter) { allow_message_ = filter; }

  protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override {}
    void DoDataExchange() override;
    bool OnCommand(int id, int code) override;
    bool OnTimer(UINT_PTR id) override;
    bool OnSysCommand(UINT command) override;
    bool OnDeviceChange(WPARAM event, LPARAM data) override;
    void OnDestroy() override;
    LRESULT WindowProc(UINT message, WPARAM w, LPARAM l) override;
    // Anything that went wrong without a job result of its own is shown as 104 with code 4.
    void OnException() override;

    // The format thread (format_thread.cpp). Starts it on `job_disk_`.
    void start_format_job();
    static DWORD WINAPI format_thread_main(LPVOID dialog);
    // The job ended: the bar at its end, the result after a moment.
    void on_format_done();
    // After the job: the result message, then idle again with a refreshed list.
    void finish_format_job();
    void register_device_notifications();

    // More than 8 listed disks end the program after message 108.
    void apply_disk_limit();
    void add_system_menu_items();
    void open_licence() const;
    void paint_minimised_icon();
    void on_selection_changed();
    void end_start_flow();
    bool find_again(const DiskInfo& wanted, DiskInfo* fresh);
    // A list that could not be built: empty, and 104 with code 4 said once.
    void show_failed_list();
    // A start that raced this one past its probe holds the instance mutex: true when this one
    // gives way (the other is brought to the front, as the start-up guard does).
    bool another_instance_runs();

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
    HDEVNOTIFY usb_device_notification_ = nullptr;
    HDEVNOTIFY usb_hub_notification_ = nullptr;
    int32_t prompt_active_ = 0;
    int32_t refresh_pending_ = 0;
    UINT autoplay_message_ = 0;
    int32_t last_selection_ = -1;
    MessageFilter allow_message_ = &allow_message_from_lower_integrity;

    friend int report_progress(int32_t, uint32_t, uint32_t, void*);
};

}  // namespace lintora
