// The format thread, the progress bar and device changes on the real dialog under Wine.
#include <gtest/gtest.h>
// clang-format off
#include <windows.h>
#include <dbt.h>
// clang-format on

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "app/format_thread.h"
#include "app/main_dialog.h"
#include "app/messages.h"
#include "app/resource.h"
#include "app/testing/fake_disks.h"
#include "app/testing/gui_driver.h"
#include "app/ui/window.h"
#include "platform/fake/fake_raw_disk.h"

namespace lintora {

namespace {

constexpr uint64_t kSmallestDisk = 0x19000000ull * 512;

TEST(ProgressPercent, SixtyFourBitProducts) {
    EXPECT_EQ(progress_percent(0, 7), 0u);
    EXPECT_EQ(progress_percent(7, 7), 100u);
    EXPECT_EQ(progress_percent(0xFFFFFFFF, 0xFFFFFFFF), 100u);
    EXPECT_EQ(progress_percent(0x80000000, 0xFFFFFFFF), 50u);
    EXPECT_EQ(progress_percent(0x7FFFFFFF, 0x80000000), 99u);
}

// A finished job's message: 107 for success, 106 without a number for a refusal, and 104 with
// the code for every other result, information or error.
TEST(ResultMessage, EachResultHasItsStringAndStyle) {
    struct Case {
        FormatJobResult result;
        UINT id;
        const wchar_t* number;  // in the text; empty: none
        UINT style;
    };
    for (const Case& c :
         {Case{kJobSucceeded, IDS_FINISHED, L"", MB_OK | MB_ICONINFORMATION},
          Case{kJobRefused, IDS_CANNOT_FORMAT, L"", MB_OK | MB_ICONERROR},
          Case{kJobWriteFailed, IDS_FORMAT_FAILED, L"(2)", MB_OK | MB_ICONERROR},
          Case{kJobTooSmall, IDS_FORMAT_FAILED, L"(3)", MB_OK | MB_ICONERROR},
          Case{kJobNoMemory, IDS_FORMAT_FAILED, L"(4)", MB_OK | MB_ICONERROR},
          Case{kJobFormatFailed, IDS_FORMAT_FAILED, L"(5)", MB_OK | MB_ICONERROR}}) {
        const ResultMessage message = message_for_result(c.result);
        EXPECT_EQ(message.id, c.id) << c.result;
        EXPECT_EQ(message.style, c.style) << c.result;
        const std::wstring format = ui::load_string(c.id);
        EXPECT_EQ(message.text.rfind(format.substr(0, format.find(L"%d")), 0), 0u) << c.result;
        EXPECT_EQ(message.text.find(L"(") != std::wstring::npos, *c.number != 0) << c.result;
        if (*c.number != 0) {
            EXPECT_NE(message.text.find(c.number), std::wstring::npos) << c.result;
        }
    }
}

class FormatThread : public ::testing::Test {
  public:  // the fixture's helpers serve the tests' free helpers too
    explicit FormatThread(std::vector<FakeRefusal> refuse = {}) : disks(std::move(refuse)) {
        disks.keep_bytes = false;
    }

    void run(const std::function<void(GuiDriver&)>& script) {
        CVekFormatterDlg dialog(DiskSources{
            [this] { return std::make_unique<FakeDeviceTree>(fake.tree); }, &fake.storage, system});
        GuiDriver::run([&] { dialog.DoModal(); }, &dialog.m_hWnd, script);
    }

    // What a job showed until its result box came: the bar's positions, the busy state's faults.
    struct Watched {
        std::vector<int> positions;
        // The first control found wrong while busy (every control disabled, the "formatting"
        // text shown, Close grayed in the system menu); empty when none was.
        std::string busy_fault;
        bool autoplay_cancelled = true;
        bool stayed_open = true;
        double seconds_to_box = 0;
        GuiDriver::Box box;
    };
    static std::string busy_fault(GuiDriver& gui) {
        const std::pair<int, const char*> disabled[] = {{IDC_CLOSE, "Close enabled"},
                                                        {IDC_DISK_LIST, "the list enabled"},
                                                        {IDC_CONFIRM, "the check box enabled"},
                                                        {IDOK, "Start enabled"}};
        for (const auto& [id, fault] : disabled) {
            if (gui.enabled(id)) {
                return fault;
            }
        }
        if (!gui.visible(IDC_FORMATTING)) {
            return "the formatting text hidden";
        }
        HMENU menu = ::GetSystemMenu(gui.window(), FALSE);
        const std::pair<UINT, const char*> grayed[] = {
            {SC_CLOSE, "the system menu's Close not grayed"},
            {IDM_ABOUT, "the About item not grayed"},
            {IDM_LICENCE, "the licence item not grayed"}};
        for (const auto& [command, fault] : grayed) {
            if ((::GetMenuState(menu, command, MF_BYCOMMAND) & MF_GRAYED) == 0) {
                return fault;
            }
        }
        return "";
    }

    // Ticks, presses Start and answers Yes: the job starts.
    static void start_job(GuiDriver& gui) {
        gui.click(IDC_CONFIRM);
        gui.post_click(IDOK);
        gui.answer(gui.wait_for_box(), IDYES);
    }

    // Starts the job, then watches the bar until the result box comes.
    static Watched start_and_watch(GuiDriver& gui) {
        Watched w;
        start_job(gui);
        const auto start = std::chrono::steady_clock::now();
        const UINT autoplay = ::RegisterWindowMessageW(L"QueryCancelAutoPlay");
        for (int polls = 0; polls < 3000; ++polls) {
            w.box = gui.wait_for_box(5);
            if (w.box.window != nullptr) {
                break;
            }
            if (!gui.visible(IDC_PROGRESS)) {
                continue;  // the job has not shown its bar yet
            }
            w.positions.push_back(
                static_cast<int>(::SendMessageW(gui.item(IDC_PROGRESS), PBM_GETPOS, 0, 0)));
            if (w.busy_fault.empty()) {
                w.busy_fault = busy_fault(gui);
            }
            w.autoplay_cancelled = w.autoplay_cancelled && gui.send(autoplay) == 1;
            gui.send(WM_CLOSE);
            gui.click(IDC_CLOSE);
            gui.send(WM_COMMAND, IDOK);  // Enter
            w.stayed_open = w.stayed_open && ::IsWindow(gui.window());
        }
        w.seconds_to_box =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        return w;
    }

    FakeDisks fake;
    FakeDiskSystem disks;
    DiskSystem* system = &disks;
};

TEST_F(FormatThread, ASuccessfulJobMovesTheBarToOneHundredThenShows107) {
    fake.plug(u"Disk", kSmallestDisk, "E");
    run([](GuiDriver& gui) {
        const Watched w = start_and_watch(gui);
        EXPECT_EQ(w.box.style, UINT{MB_OK | MB_ICONINFORMATION});
        EXPECT_EQ(w.box.text, ui::load_string(IDS_FINISHED))
            << w.positions.size() << " " << (w.positions.empty() ? -1 : w.positions.back()) << " "
            << w.seconds_to_box;
        ASSERT_FALSE(w.positions.empty());
        for (size_t i = 1; i < w.positions.size(); ++i) {
            EXPECT_LE(w.positions[i - 1], w.positions[i]);
        }
        EXPECT_EQ(w.positions.back(), 100);
        EXPECT_GE(w.seconds_to_box, 1.4);
        EXPECT_EQ(w.busy_fault, "");
        EXPECT_TRUE(w.autoplay_cancelled);
        EXPECT_TRUE(w.stayed_open);
        gui.answer(w.box, IDOK);
        EXPECT_FALSE(gui.visible(IDC_PROGRESS));
        EXPECT_TRUE(gui.enabled(IDC_CLOSE));
        EXPECT_FALSE(gui.checked(IDC_CONFIRM));
        gui.click(IDC_CLOSE);
        EXPECT_TRUE(gui.wait_until_closed());
    });
}

class RefusedOpen : public FormatThread {
  protected:
    RefusedOpen() : FormatThread({{FakeOp::open_disk}}) {}
};

// A job that fails before its first write: its error box is `text`, and the bar never moved.
void expect_failure_before_writing(GuiDriver& gui, const std::wstring& text) {
    const FormatThread::Watched w = FormatThread::start_and_watch(gui);
    EXPECT_EQ(w.box.text, text);
    EXPECT_EQ(w.box.style, UINT{MB_OK | MB_ICONERROR});
    for (int position : w.positions) {
        EXPECT_EQ(position, 0);
    }
    gui.answer(w.box, IDOK);
    gui.click(IDC_CLOSE);
    EXPECT_TRUE(gui.wait_until_closed());
}

TEST_F(RefusedOpen, ShowsMessage106WithoutANumberAndNeverMovesTheBar) {
    fake.plug(u"Disk", kSmallestDisk);
    run([](GuiDriver& gui) {
        expect_failure_before_writing(gui, ui::load_string(IDS_CANNOT_FORMAT));
    });
}

// What the job's thread did, seen from the disk's writes (which run on it): its priority, and
// every keep-awake call, each with ES_SYSTEM_REQUIRED | ES_DISPLAY_REQUIRED (not continuous).
std::atomic<int> g_write_priority{THREAD_PRIORITY_ERROR_RETURN};
std::atomic<int> g_keep_awake_calls{0};
std::atomic<int> g_keep_awake_calls_at_first_write{0};
std::atomic<bool> g_keep_awake_flags_right{true};
EXECUTION_STATE WINAPI record_keep_awake(EXECUTION_STATE flags) {
    ++g_keep_awake_calls;
    g_keep_awake_flags_right = g_keep_awake_flags_right && flags == 3;
    return 0;
}

class ThreadDisks final : public ForwardingDiskSystem {
  public:
    using ForwardingDiskSystem::ForwardingDiskSystem;
    Outcome open_disk(const char16_t* path, uint32_t bytes_per_sector, DiskUse use,
                      std::unique_ptr<DiskDevice>* device) override {
        std::unique_ptr<DiskDevice> inner;
        const Outcome opened = inner_.open_disk(path, bytes_per_sector, use, &inner);
        if (opened.ok()) {
            *device = std::make_unique<Device>(std::move(inner));
        }
        return opened;
    }

  private:
    class Device final : public ForwardingDiskDevice {
      public:
        using ForwardingDiskDevice::ForwardingDiskDevice;
        Outcome write_at(uint64_t offset, const uint8_t* data, uint32_t length) override {
            if (g_write_priority == THREAD_PRIORITY_ERROR_RETURN) {
                g_write_priority = ::GetThreadPriority(::GetCurrentThread());
                g_keep_awake_calls_at_first_write = g_keep_awake_calls.load();
            }
            return inner_->write_at(offset, data, length);
        }
    };
};

TEST_F(FormatThread, RunsAtTheHighestPriorityAndKeepsTheMachineAwake) {
    ThreadDisks recorded(disks);
    system = &recorded;
    g_write_priority = THREAD_PRIORITY_ERROR_RETURN;
    g_keep_awake_calls = 0;
    g_keep_awake_flags_right = true;
    const KeepAwakeFn before = g_keep_awake;
    g_keep_awake = &record_keep_awake;
    fake.plug(u"Disk", kSmallestDisk, "E");
    run([](GuiDriver& gui) {
        const Watched w = start_and_watch(gui);
        EXPECT_EQ(w.box.text, ui::load_string(IDS_FINISHED));
        gui.answer(w.box, IDOK);
        gui.click(IDC_CLOSE);
        EXPECT_TRUE(gui.wait_until_closed());
    });
    g_keep_awake = before;
    EXPECT_EQ(g_write_priority, THREAD_PRIORITY_HIGHEST);
    // Once as the thread starts and once per progress report (the counting pass's included),
    // so more than once before the first write.
    EXPECT_GT(g_keep_awake_calls_at_first_write, 1);
    EXPECT_GT(g_keep_awake_calls, g_keep_awake_calls_at_first_write);
    EXPECT_TRUE(g_keep_awake_flags_right);
}

// A job that ends in an exception of the disk system's (no bad_alloc) is a format failure:
// message 104 with 5, and the bar never moved.
class ThrowingDisks final : public ForwardingDiskSystem {
  public:
    using ForwardingDiskSystem::ForwardingDiskSystem;
    Outcome open_disk(const char16_t*, uint32_t, DiskUse, std::unique_ptr<DiskDevice>*) override {
        throw std::runtime_error("the disk system broke");
    }
};

TEST_F(FormatThread, AJobThatThrowsShows104WithCode5) {
    ThrowingDisks throwing(disks);
    system = &throwing;
    fake.plug(u"Disk", kSmallestDisk, "E");
    run([](GuiDriver& gui) {
        expect_failure_before_writing(gui, message_for_result(kJobFormatFailed).text);
    });
}

// An unplugged disk: its writes start failing during the job.
class Unplugged : public FormatThread {
  protected:
    Unplugged() : FormatThread({{FakeOp::write, 40}}) {}
};

TEST_F(Unplugged, ShowsMessage104WithTheCode) {
    fake.plug(u"Disk", kSmallestDisk);
    run([](GuiDriver& gui) {
        const Watched w = start_and_watch(gui);
        EXPECT_NE(w.box.text.find(L"(2)"), std::wstring::npos);
        EXPECT_EQ(w.box.text.rfind(ui::load_string(IDS_FORMAT_FAILED).substr(0, 10), 0), 0u);
        EXPECT_EQ(w.box.style, UINT{MB_OK | MB_ICONERROR});
        gui.answer(w.box, IDOK);
        gui.click(IDC_CLOSE);
        EXPECT_TRUE(gui.wait_until_closed());
    });
}

// A disk whose writes are slow, so that the job outlasts the result's delay; it notes when the job
// last called it.
class SlowDisks final : public ForwardingDiskSystem {
  public:
    using Clock = std::chrono::steady_clock;
    explicit SlowDisks(DiskSystem& inner) : ForwardingDiskSystem(inner) {}

    Outcome open_disk(const char16_t* path, uint32_t bytes_per_sector, DiskUse use,
                      std::unique_ptr<DiskDevice>* device) override {
        touch();
        Outcome opened = inner_.open_disk(path, bytes_per_sector, use, device);
        if (opened.ok()) {
            *device = std::make_unique<SlowDevice>(std::move(*device), *this);
        }
        return opened;
    }
    void notify_drive_removed(char letter) override {
        touch();
        inner_.notify_drive_removed(letter);
    }
    Outcome volumes_on_disk(const char16_t* disk_path,
                            std::vector<std::u16string>* paths) override {
        touch();
        return inner_.volumes_on_disk(disk_path, paths);
    }
    Outcome open_volume_path(const char16_t* path, std::unique_ptr<VolumeHandle>* volume) override {
        touch();
        return inner_.open_volume_path(path, volume);
    }

    void touch() { last_call_ = Clock::now().time_since_epoch().count(); }
    Clock::time_point last_call() const { return Clock::time_point(Clock::duration(last_call_)); }
    std::atomic<uint32_t> writes{0};

  private:
    class SlowDevice final : public ForwardingDiskDevice {
      public:
        SlowDevice(std::unique_ptr<DiskDevice> inner, SlowDisks& disks)
            : ForwardingDiskDevice(std::move(inner)), disks_(disks) {}
        ~SlowDevice() override { disks_.touch(); }
        Outcome write_at(uint64_t offset, const uint8_t* data, uint32_t length) override {
            ::Sleep(1);
            ++disks_.writes;
            disks_.touch();
            return inner_->write_at(offset, data, length);
        }
        Outcome flush() override {
            disks_.touch();
            return inner_->flush();
        }

      private:
        SlowDisks& disks_;
    };

    std::atomic<Clock::rep> last_call_{0};
};

// The result box follows the job's end by the delay, not its start: a job longer than the delay
// never sees the box (nor its controls enabled again) while it runs.
TEST_F(FormatThread, TheResultComesAMomentAfterTheJobEndsNotDuringIt) {
    SlowDisks slow(disks);
    system = &slow;
    fake.plug(u"Disk", kSmallestDisk, "E");
    run([&slow](GuiDriver& gui) {
        const auto start = SlowDisks::Clock::now();
        const Watched w = start_and_watch(gui);
        const auto box_at = SlowDisks::Clock::now();
        const double job_seconds = std::chrono::duration<double>(slow.last_call() - start).count();
        const double after_job = std::chrono::duration<double>(box_at - slow.last_call()).count();
        EXPECT_GE(job_seconds, 2.0) << slow.writes << " writes";
        EXPECT_EQ(w.box.text, ui::load_string(IDS_FINISHED));
        // The delay is 1.5 s: the box comes neither before it nor long after it.
        EXPECT_GE(after_job, 1.4) << "job " << job_seconds << " s";
        EXPECT_LE(after_job, 2.5) << "job " << job_seconds << " s";
        EXPECT_EQ(w.busy_fault, "");
        gui.answer(w.box, IDOK);
        gui.click(IDC_CLOSE);
        EXPECT_TRUE(gui.wait_until_closed());
    });
}

// After a job the list is built again and the nine-disk rule with it: eight disks plugged in
// while the job ran (no refresh is made then) end the program after the result, with 108.
TEST_F(FormatThread, AfterAJobTheNineDiskRuleAppliesAgain) {
    fake.plug(u"Disk", kSmallestDisk, "E");
    run([this](GuiDriver& gui) {
        start_job(gui);
        for (int i = 0; i < 8; ++i) {
            fake.plug(u"More" + std::u16string(1, static_cast<char16_t>(u'0' + i)), kSmallestDisk);
        }
        const GuiDriver::Box result = gui.wait_for_box(120000);
        EXPECT_EQ(result.text, ui::load_string(IDS_FINISHED));
        gui.answer(result, IDOK);
        const GuiDriver::Box limit = gui.wait_for_box();
        EXPECT_EQ(limit.text, ui::load_string(IDS_TOO_MANY_DISKS));
        EXPECT_EQ(limit.style, UINT{MB_OK | MB_ICONERROR});
        gui.answer(limit, IDOK);
        EXPECT_TRUE(gui.wait_until_closed());
    });
}

// Device changes: applied at once when idle (keeping the selection), deferred while the
// warning is up, dropped while a job runs and made up for after its result box; interface
// arrivals do not count; a ninth disk ends the program.
TEST_F(FormatThread, DeviceChangesFollowTheDialogsState) {
    fake.plug(u"Second", kSmallestDisk, "G");
    run([this](GuiDriver& gui) {
        const UINT autoplay = ::RegisterWindowMessageW(L"QueryCancelAutoPlay");
        EXPECT_EQ(gui.send(autoplay), 1);
        gui.click(IDC_CONFIRM);
        const std::u16string first = fake.plug(u"First", kSmallestDisk, "D");
        DEV_BROADCAST_HDR interface_event{sizeof(DEV_BROADCAST_HDR), DBT_DEVTYP_DEVICEINTERFACE, 0};
        EXPECT_EQ(gui.send(WM_DEVICECHANGE, DBT_DEVICEARRIVAL,
                           reinterpret_cast<LPARAM>(&interface_event)),
                  0);
        EXPECT_EQ(gui.list_count(), 1);
        DEV_BROADCAST_HDR volume_event{sizeof(DEV_BROADCAST_HDR), DBT_DEVTYP_VOLUME, 0};
        gui.send(WM_DEVICECHANGE, DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(&volume_event));
        ASSERT_EQ(gui.list_count(), 2);
        EXPECT_EQ(gui.list_selection(), 1);  // "Second" stays selected and confirmed
        EXPECT_TRUE(gui.checked(IDC_CONFIRM));
        // A volume that goes away refreshes the list as an arrival does.
        fake.storage.disks.erase(first);
        gui.send(WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE,
                 reinterpret_cast<LPARAM>(&volume_event));
        ASSERT_EQ(gui.list_count(), 1);
        EXPECT_TRUE(gui.checked(IDC_CONFIRM));

        gui.post_click(IDOK);
        GuiDriver::Box warning = gui.wait_for_box();
        fake.plug(u"Third", kSmallestDisk);
        gui.send(WM_DEVICECHANGE, DBT_DEVNODES_CHANGED);
        EXPECT_EQ(gui.list_count(), 1);
        gui.answer(warning, IDNO);
        EXPECT_EQ(gui.list_count(), 2);

        // Eight disks keep the dialog open; the ninth ends it after 108.
        for (int i = 0; i < 6; ++i) {
            fake.plug(u"More" + std::u16string(1, static_cast<char16_t>(u'0' + i)), kSmallestDisk);
        }
        gui.post(WM_DEVICECHANGE, DBT_DEVNODES_CHANGED);
        EXPECT_EQ(gui.wait_for_box(1000).window, nullptr);
        EXPECT_EQ(gui.list_count(), 8);
        fake.plug(u"Ninth", kSmallestDisk);
        gui.post(WM_DEVICECHANGE, DBT_DEVNODES_CHANGED);
        GuiDriver::Box limit = gui.wait_for_box();
        EXPECT_EQ(limit.text, ui::load_string(IDS_TOO_MANY_DISKS));
        gui.answer(limit, IDOK);
        EXPECT_TRUE(gui.wait_until_closed());
    });
}

TEST_F(FormatThread, ADeviceChangeDuringAJobWaitsForTheResult) {
    fake.plug(u"Disk", kSmallestDisk, "E");
    run([this](GuiDriver& gui) {
        start_job(gui);
        for (int i = 0; i < 500 && !gui.visible(IDC_PROGRESS); ++i) {
            ::Sleep(1);
        }
        fake.plug(u"Arrived", kSmallestDisk);
        gui.send(WM_DEVICECHANGE, DBT_DEVNODES_CHANGED);
        EXPECT_EQ(gui.list_count(), 1);
        gui.answer(gui.wait_for_box(), IDOK);
        EXPECT_EQ(gui.list_count(), 2);
        gui.click(IDC_CLOSE);
        EXPECT_TRUE(gui.wait_until_closed());
    });
}

}  // namespace

}  // namespace lintora
