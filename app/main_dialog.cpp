#include "app/main_dialog.h"

#include <dbt.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "app/about_dialog.h"
#include "app/application.h"
#include "app/licence_document.h"
#include "app/messages.h"
#include "app/resource.h"
#include "discovery/disk_entry_text.h"
#include "discovery/enumerate_disks.h"

namespace lintora {

namespace {

// More disks than this end the dialog with message 108.
constexpr uint32_t kMostDialogDisks = 8;

const wchar_t* wide(const char16_t* text) {
    return reinterpret_cast<const wchar_t*>(text);
}

bool same_path(const char16_t* a, const char16_t* b) {
    return ::lstrcmpiW(wide(a), wide(b)) == 0;
}

// Enumerates into `list` and sorts it by first drive letter.
void fill_list(const DiskSources& sources, DiskList& list) {
    std::unique_ptr<DeviceTree> tree = sources.device_tree();
    enumerate_disks(list, *tree, *sources.storage);
    std::qsort(list.disks, list.count, sizeof(DiskInfo), compare_by_first_letter);
}

}  // namespace

CVekFormatterDlg::CVekFormatterDlg(DiskSources sources)
    : ui::CDialog(IDD_MAIN), sources_(std::move(sources)), disks_(std::make_unique<DiskList>()) {
    std::memset(disks_.get(), 0, sizeof(DiskList));
    icon_ = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_APP));
}

void CVekFormatterDlg::DoDataExchange() {
    DDX_Control(IDC_DISK_LIST, disk_list_);
    DDX_Control(IDC_PROGRESS, progress_);
    DDX_Control(IDOK, start_);
    DDX_Control(IDC_CLOSE, close_);
    DDX_Control(IDC_FORMATTING, formatting_);
    DDX_Control(IDC_CONFIRM, confirm_);
    DDX_Control(IDC_STATUS, status_);
}

BOOL CVekFormatterDlg::OnInitDialog() {
    ui::CDialog::OnInitDialog();
    if (another_instance_runs()) {
        EndDialog(IDCANCEL);
        return TRUE;
    }
    add_system_menu_items();
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
    register_device_notifications();
    autoplay_message_ = ::RegisterWindowMessageW(L"QueryCancelAutoPlay");
    if (autoplay_message_ != 0) {
        allow_message_(m_hWnd, autoplay_message_);
    }
    progress_.SetRange(0, 100);
    refresh_disk_list();
    update_controls();
    apply_disk_limit();
    return TRUE;
}

bool CVekFormatterDlg::another_instance_runs() {
    if (instance_mutex_ != nullptr) {
        ::RemovePropW(m_hWnd, kInstanceName);
        ::CloseHandle(instance_mutex_);
    }
    instance_mutex_ = ::CreateMutexW(nullptr, FALSE, kInstanceName);
    const DWORD error = ::GetLastError();
    if (instance_mutex_ != nullptr && error == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(instance_mutex_);
        instance_mutex_ = nullptr;
        if (!activate_running_instance()) {
            show_message(m_hWnd, IDS_IN_USE, MB_OK | MB_ICONERROR);
        }
        return true;
    }
    if (instance_mutex_ != nullptr) {
        ::SetPropW(m_hWnd, kInstanceName, reinterpret_cast<HANDLE>(1));
    }
    return false;
}

void CVekFormatterDlg::add_system_menu_items() {
    HMENU menu = ::GetSystemMenu(m_hWnd, FALSE);
    if (menu == nullptr) {
        return;
    }
    const std::wstring about = ui::load_string(IDS_ABOUT_ITEM);
    if (!about.empty()) {
        ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        ::AppendMenuW(menu, MF_STRING, IDM_ABOUT, about.c_str());
    }
    const std::wstring licence = ui::load_string(IDS_LICENCE_ITEM);
    if (!licence.empty()) {
        ::AppendMenuW(menu, MF_STRING, IDM_LICENCE, licence.c_str());
    }
}

int CVekFormatterDlg::refresh_disk_list() {
    if (prompt_active_ != 0) {
        refresh_pending_ = 1;
        return 0;
    }
    if (busy_ != 0) {
        return 0;
    }
    char16_t remembered[kPathUnits] = {};
    const int selected = disk_list_.GetCurSel();
    if (disk_list_.GetCount() > 0 && selected >= 0 &&
        static_cast<uint32_t>(selected) < disks_->count) {
        std::memcpy(remembered, disks_->disks[selected].interface_path, sizeof remembered);
    }
    try {
        fill_list(sources_, *disks_);
        disk_list_.ResetContent();
        for (uint32_t i = 0; i < disks_->count; ++i) {
            const std::u16string line = format_disk_entry(disks_->disks[i]);
            disk_list_.AddString(reinterpret_cast<const wchar_t*>(line.c_str()));
        }
    } catch (...) {
        show_failed_list();
        return 1;
    }
    if (disks_->count != 0) {
        int keep = -1;
        for (uint32_t i = 0; i < disks_->count && remembered[0] != 0; ++i) {
            if (same_path(disks_->disks[i].interface_path, remembered)) {
                keep = static_cast<int>(i);
                break;
            }
        }
        if (keep >= 0) {
            disk_list_.SetCurSel(keep);
        } else {
            disk_list_.SetCurSel(0);
            confirm_.SetCheck(BST_UNCHECKED);
        }
        status_.SetWindowText(L"");
    } else {
        confirm_.SetCheck(BST_UNCHECKED);
        status_.SetWindowText(ui::load_string(IDS_NO_DISK));
    }
    last_selection_ = disk_list_.GetCurSel();
    return 1;
}

void CVekFormatterDlg::show_failed_list() {
    disks_->count = 0;
    disk_list_.ResetContent();
    confirm_.SetCheck(BST_UNCHECKED);
    // Not string 103: that would say that no disk is connected.
    status_.SetWindowText(L"");
    last_selection_ = -1;
    const int32_t outer_prompt = prompt_active_;
    prompt_active_ = 1;
    OnException();
    prompt_active_ = outer_prompt;
}

void CVekFormatterDlg::OnException() {
    const ResultMessage message = message_for_result(kJobNoMemory);
    ::MessageBoxW(m_hWnd, message.text.c_str(), ui::load_string(IDS_TITLE).c_str(), message.style);
}

void CVekFormatterDlg::update_controls() {
    const bool idle = busy_ == 0;
    const bool has_disks = disks_->count != 0;
    close_.EnableWindow(idle);
    disk_list_.EnableWindow(idle && has_disks);
    confirm_.EnableWindow(idle && has_disks);
    start_.EnableWindow(idle && has_disks && confirm_.GetCheck() == BST_CHECKED);
    progress_.ShowWindow(idle ? SW_HIDE : SW_SHOW);
    formatting_.ShowWindow(idle ? SW_HIDE : SW_SHOW);
    progress_.SetPos(0);
    if (HMENU menu = ::GetSystemMenu(m_hWnd, FALSE)) {
        const auto state = static_cast<UINT>(MF_BYCOMMAND | (idle ? MF_ENABLED : MF_GRAYED));
        ::EnableMenuItem(menu, SC_CLOSE, state);
        ::EnableMenuItem(menu, IDM_ABOUT, state);
        ::EnableMenuItem(menu, IDM_LICENCE, state);
    }
}

void CVekFormatterDlg::apply_disk_limit() {
    if (disks_->count > kMostDialogDisks) {
        prompt_active_ = 1;
        show_message(m_hWnd, IDS_TOO_MANY_DISKS, MB_OK | MB_ICONERROR);
        EndDialog(IDOK);
    }
}

bool CVekFormatterDlg::find_again(const DiskInfo& wanted, DiskInfo* fresh) {
    auto list = std::make_unique<DiskList>();
    std::memset(list.get(), 0, sizeof(DiskList));
    fill_list(sources_, *list);
    for (uint32_t i = 0; i < list->count; ++i) {
        if (same_path(list->disks[i].interface_path, wanted.interface_path)) {
            *fresh = list->disks[i];
            return true;
        }
    }
    return false;
}

void CVekFormatterDlg::OnOK() {
    // Start is disabled while a job runs; a second job on the same disk is never started.
    if (busy_ != 0) {
        return;
    }
    prompt_active_ = 1;
    refresh_pending_ = 0;
    int selected = disk_list_.GetCurSel();
    if (selected >= 0 && static_cast<uint32_t>(selected) < disks_->count &&
        !is_capacity_supported(disks_->disks[selected])) {
        show_message(m_hWnd, IDS_NOT_SUPPORTED, MB_OK | MB_ICONERROR);
        end_start_flow();
        return;
    }
    if (show_message(m_hWnd, IDS_WARNING, MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2) != IDYES) {
        end_start_flow();
        return;
    }
    prompt_active_ = 0;
    selected = disk_list_.GetCurSel();
    if (selected < 0 || static_cast<uint32_t>(selected) >= disks_->count) {
        return;
    }
    job_disk_ = disks_->disks[selected];
    DiskInfo fresh{};
    bool found = false;
    try {
        found = find_again(job_disk_, &fresh);
    } catch (...) {
        prompt_active_ = 1;
        OnException();
        end_start_flow();
        return;
    }
    // The disk as it is now is the one formatted, so it must still be inside the window.
    if (found && !is_capacity_supported(fresh)) {
        prompt_active_ = 1;
        show_message(m_hWnd, IDS_NOT_SUPPORTED, MB_OK | MB_ICONERROR);
        end_start_flow();
        return;
    }
    if (found) {
        job_disk_ = fresh;
        job_result_ = 0;
        busy_ = 1;
        update_controls();
        start_format_job();
        return;
    }
    prompt_active_ = 1;
    show_message(m_hWnd, IDS_CANNOT_FORMAT, MB_OK | MB_ICONERROR);
    confirm_.SetCheck(BST_UNCHECKED);
    prompt_active_ = 0;
    end_start_flow();
}

// Unticks the box, ends the prompt, and makes up for a refresh that came meanwhile.
void CVekFormatterDlg::end_start_flow() {
    confirm_.SetCheck(BST_UNCHECKED);
    prompt_active_ = 0;
    update_controls();
    if (refresh_pending_ != 0) {
        refresh_pending_ = 0;
        refresh_disk_list();
        update_controls();
        apply_disk_limit();
    }
}

// Arrivals and removals of USB devices and hubs; a failed registration leaves its handle null.
void CVekFormatterDlg::register_device_notifications() {
    const GUID usb_device{
        0xA5DCBF10, 0x6530, 0x11D2, {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}};
    const GUID usb_hub{
        0xF18A0E88, 0xC30C, 0x11D0, {0x88, 0x15, 0x00, 0xA0, 0xC9, 0x06, 0xBE, 0xD8}};
    DEV_BROADCAST_DEVICEINTERFACE_W filter{};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = usb_device;
    usb_device_notification_ =
        ::RegisterDeviceNotificationW(m_hWnd, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    filter.dbcc_classguid = usb_hub;
    usb_hub_notification_ =
        ::RegisterDeviceNotificationW(m_hWnd, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
}

void CVekFormatterDlg::on_selection_changed() {
    const int selected = disk_list_.GetCurSel();
    if (selected != last_selection_) {
        confirm_.SetCheck(BST_UNCHECKED);
        update_controls();
    }
    last_selection_ = selected;
}

void CVekFormatterDlg::open_licence() const {
    wchar_t folder[270] = {};
    ::GetModuleFileNameW(nullptr, folder, 270);
    ::PathRemoveFileSpecW(folder);
    open_licence_document(m_hWnd, folder);
}

void CVekFormatterDlg::paint_minimised_icon() {
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(m_hWnd, &paint);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    const int x = (client.right - client.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - client.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
    ::DrawIcon(dc, x, y, icon_);
    ::EndPaint(m_hWnd, &paint);
}

bool CVekFormatterDlg::OnCommand(int id, int code) {
    if (id == IDC_CONFIRM && code == BN_CLICKED) {
        update_controls();
        return true;
    }
    if (id == IDC_CLOSE && code == BN_CLICKED) {
        // Disabled while busy; a click that arrives all the same must not end the dialog under
        // the running job.
        if (busy_ == 0) {
            EndDialog(IDOK);
        }
        return true;
    }
    if (id == IDC_DISK_LIST && code == CBN_SELCHANGE) {
        on_selection_changed();
        return true;
    }
    return ui::CDialog::OnCommand(id, code);
}

bool CVekFormatterDlg::OnTimer(UINT_PTR id) {
    if (id == kResultTimerId) {
        ::KillTimer(m_hWnd, kResultTimerId);
        PostMessage(m_hWnd, WM_FORMAT_REPORT, 0, 0);
    }
    return false;
}

bool CVekFormatterDlg::OnSysCommand(UINT command) {
    if (command == IDM_ABOUT) {
        CAboutDlg about;
        about.DoModal(m_hWnd);
        return true;
    }
    if (command == IDM_LICENCE) {
        open_licence();
        return true;
    }
    return false;
}

// Volume arrivals and removals and changes of the device tree rebuild the list when the dialog
// is idle; every WM_DEVICECHANGE is answered here.
bool CVekFormatterDlg::OnDeviceChange(WPARAM event, LPARAM data) {
    const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(data);
    const bool volume_event = (event == DBT_DEVICEARRIVAL || event == DBT_DEVICEREMOVECOMPLETE) &&
                              header != nullptr && header->dbch_devicetype == DBT_DEVTYP_VOLUME;
    if ((volume_event || event == DBT_DEVNODES_CHANGED) && refresh_disk_list() == 1) {
        update_controls();
        apply_disk_limit();
    }
    return true;
}

void CVekFormatterDlg::OnDestroy() {
    if (instance_mutex_ != nullptr) {
        ::RemovePropW(m_hWnd, kInstanceName);
        ::CloseHandle(instance_mutex_);
        instance_mutex_ = nullptr;
    }
    for (HDEVNOTIFY* notification : {&usb_device_notification_, &usb_hub_notification_}) {
        if (*notification != nullptr) {
            ::UnregisterDeviceNotification(*notification);
            *notification = nullptr;
        }
    }
}

LRESULT CVekFormatterDlg::WindowProc(UINT message, WPARAM w, LPARAM l) {
    // AutoPlay stays quiet for as long as the dialog runs, whatever it is doing.
    if (message != 0 && message == autoplay_message_) {
        return 1;
    }
    switch (message) {
        case WM_FORMAT_DONE:
            on_format_done();
            break;
        case WM_FORMAT_REPORT:
            finish_format_job();
            return 0;
        case WM_CLOSE:
            if (busy_ == 0) {
                EndDialog(IDOK);
            }
            return 0;
        case WM_HELP:
            return TRUE;
        case WM_PAINT:
            if (::IsIconic(m_hWnd)) {
                paint_minimised_icon();
                return 0;
            }
            break;
        case WM_QUERYDRAGICON:
            return reinterpret_cast<LRESULT>(icon_);
        default:
            break;
    }
    return ui::CDialog::WindowProc(message, w, l);
}

}  // namespace lintora
