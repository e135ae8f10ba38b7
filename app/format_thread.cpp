// The format job's thread and its ends: the progress callback that moves the dialog's bar, the
// thread that runs the job on the chosen disk, and the completion that reports the result and
// makes the dialog idle again.
#include "app/format_thread.h"

#include "app/main_dialog.h"
#include "app/messages.h"
#include "app/resource.h"

namespace lintora {

KeepAwakeFn g_keep_awake = &::SetThreadExecutionState;

uint32_t progress_percent(uint32_t units_done, uint32_t units_expected) {
    return static_cast<uint32_t>(uint64_t{units_done} * 100 / units_expected);
}

int report_progress(int32_t, uint32_t units_done, uint32_t units_expected, void* owner) {
    g_keep_awake(ES_SYSTEM_REQUIRED | ES_DISPLAY_REQUIRED);
    if (units_expected != 0) {
        auto* dialog = static_cast<CVekFormatterDlg*>(owner);
        ::SendMessageW(dialog->progress_.m_hWnd, PBM_SETPOS,
                       progress_percent(units_done, units_expected), 0);
    }
    return 0;
}

DWORD WINAPI CVekFormatterDlg::format_thread_main(LPVOID parameter) {
    auto* dialog = static_cast<CVekFormatterDlg*>(parameter);
    ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
    g_keep_awake(ES_SYSTEM_REQUIRED | ES_DISPLAY_REQUIRED);
    const FormatJobParams params = job_params_for(dialog->job_disk_);
    dialog->job_result_ =
        prepare_disk(dialog, dialog->job_disk_, params,
                     JobContext{.system = dialog->sources_.disks, .progress = &report_progress});
    ::PostMessageW(dialog->m_hWnd, WM_FORMAT_DONE, 0, 0);
    return 0;
}

void CVekFormatterDlg::start_format_job() {
    HANDLE thread = ::CreateThread(nullptr, 0, &format_thread_main, this, 0, nullptr);
    if (thread == nullptr) {
        // No thread, no job: reported like a job that had no memory, so the dialog goes idle.
        job_result_ = kJobNoMemory;
        PostMessage(m_hWnd, WM_FORMAT_DONE, 0, 0);
        return;
    }
    ::CloseHandle(thread);  // nothing waits for the thread
}

// The job has ended: the bar shows it, and the result follows a moment later.
void CVekFormatterDlg::on_format_done() {
    if (job_result_ == kJobSucceeded) {
        progress_.SetPos(100);
    }
    ::SetTimer(m_hWnd, kResultTimerId, kResultDelayMs, nullptr);
}

void CVekFormatterDlg::finish_format_job() {
    if (job_result_ == kJobSucceeded) {
        progress_.SetPos(100);
    }
    const ResultMessage message = message_for_result(job_result_);
    ::MessageBoxW(m_hWnd, message.text.c_str(), ui::load_string(IDS_TITLE).c_str(), message.style);
    busy_ = 0;
    confirm_.SetCheck(BST_UNCHECKED);
    refresh_disk_list();
    update_controls();
    apply_disk_limit();
}

}  // namespace lintora
