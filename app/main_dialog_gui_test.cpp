// The real main dialog and About box under Wine, driven through window messages as a user
// would, over a fake device tree, fake storage queries and a fake disk system.
#include <gtest/gtest.h>

// clang-format off
#include <windows.h>
#include <dbt.h>
// clang-format on

#include <cwchar>
#include <filesystem>
#include <fstream>
#include <new>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "app/about_dialog.h"
#include "app/licence_document.h"
#include "app/main_dialog.h"
#include "app/messages.h"
#include "app/resource.h"
#include "app/testing/fake_disks.h"
#include "app/testing/gui_driver.h"
#include "app/ui/window.h"
#include "platform/fake/fake_raw_disk.h"
#include "platform/scratch_folder.h"

namespace lintora {

namespace {

constexpr uint64_t kTwoTerabytes = 2000398934016;

class MainDialog : public ::testing::Test {
  protected:
    std::u16string plug(const char16_t* name, uint64_t bytes, const char* letters = "") {
        return fake.plug(name, bytes, letters);
    }

    DiskSources sources() {
        return DiskSources{[this] { return std::make_unique<FakeDeviceTree>(fake.tree); },
                           &fake.storage, &disks};
    }

    // Runs the main dialog with `script` driving it; the script must end it.
    void run(const std::function<void(GuiDriver&)>& script) {
        CVekFormatterDlg dialog(sources());
        GuiDriver::run([&] { dialog.DoModal(); }, &dialog.m_hWnd, script);
    }

    FakeDisks fake;
    FakeDiskSystem disks;
    FakeStorage& storage = fake.storage;
};

std::wstring text_of(UINT id) {
    return ui::load_string(id);
}

TEST_F(MainDialog, NoDiskMeansAnEmptyDisabledListAndString103) {
    run([](GuiDriver& gui) {
        EXPECT_EQ(gui.list_count(), 0);
        EXPECT_EQ(gui.text(IDC_STATUS), text_of(IDS_NO_DISK));
        EXPECT_FALSE(gui.enabled(IDC_DISK_LIST));
        EXPECT_FALSE(gui.enabled(IDC_CONFIRM));
        EXPECT_FALSE(gui.enabled(IDOK));
        EXPECT_TRUE(gui.enabled(IDC_CLOSE));
        EXPECT_FALSE(gui.visible(IDC_PROGRESS));
        EXPECT_FALSE(gui.visible(IDC_FORMATTING));
        gui.click(IDC_CLOSE);
        EXPECT_TRUE(gui.wait_until_closed());
    });
}

// The system menu ends with a separator, About (0x10) and the licence (0x20), both enabled while
// idle; the icon dragged from a minimised window is the program's own (icon 128).
TEST_F(MainDialog, TheSystemMenuItemsAndTheDragIcon) {
    plug(u"Disk", kTwoTerabytes, "E");
    run([](GuiDriver& gui) {
        HMENU menu = ::GetSystemMenu(gui.window(), FALSE);
        ASSERT_NE(menu, nullptr);
        const int count = ::GetMenuItemCount(menu);
        ASSERT_GE(count, 3);
        const auto item = [&](int position) {
            MENUITEMINFOW info{};
            info.cbSize = sizeof info;
            info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STATE | MIIM_STRING;
            wchar_t text[64] = {};
            info.dwTypeData = text;
            info.cch = 64;
            EXPECT_TRUE(::GetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &info));
            return std::make_tuple(info.fType, info.wID, info.fState, std::wstring(text));
        };
        EXPECT_EQ(std::get<0>(item(count - 3)) & MFT_SEPARATOR, UINT{MFT_SEPARATOR});
        const auto [about_type, about_id, about_state, about_text] = item(count - 2);
        EXPECT_EQ(about_id, UINT{IDM_ABOUT});
        EXPECT_EQ(about_text, text_of(IDS_ABOUT_ITEM));
        EXPECT_EQ(about_state & MFS_GRAYED, 0u);
        const auto [licence_type, licence_id, licence_state, licence_text] = item(count - 1);
        EXPECT_EQ(licence_id, UINT{IDM_LICENCE});
        EXPECT_EQ(licence_text, text_of(IDS_LICENCE_ITEM));
        EXPECT_EQ(licence_state & MFS_GRAYED, 0u);
        const auto dragged = reinterpret_cast<HICON>(gui.send(WM_QUERYDRAGICON));
        EXPECT_NE(dragged, nullptr);
        EXPECT_EQ(dragged, reinterpret_cast<HICON>(gui.send(WM_GETICON, ICON_BIG)));
        gui.click(IDC_CLOSE);
        EXPECT_TRUE(gui.wait_until_closed());
    });
}

// The list in first-letter order with the entry text; ticking enables Start; another disk
// unticks; the same one again does not; Escape, F1 and a second close request while idle.
TEST_F(MainDialog, ListOrderTextAndTheConfirmationBox) {
    plug(u"No Letter", kTwoTerabytes);
    plug(u"Second", kTwoTerabytes, "G");
    plug(u"First", 1000204886016, "EF");
    run([](GuiDriver& gui) {
        ASSERT_EQ(gui.list_count(), 3);
        EXPECT_EQ(gui.list_line(0), L"(E:,F:) First 931.52GB");
        EXPECT_EQ(gui.list_line(1), L"(G:) Second 1.83TB");
        EXPECT_EQ(gui.list_line(2), L"No Letter 1.83TB");
        EXPECT_EQ(gui.list_selection(), 0);
        EXPECT_EQ(gui.text(IDC_STATUS), L"");
        EXPECT_TRUE(gui.enabled(IDC_DISK_LIST));
        EXPECT_TRUE(gui.enabled(IDC_CONFIRM));
        EXPECT_FALSE(gui.enabled(IDOK));

        gui.click(IDC_CONFIRM);
        EXPECT_TRUE(gui.checked(IDC_CONFIRM));
        EXPECT_TRUE(gui.enabled(IDOK));
        gui.select(0);  // the same disk: stays confirmed
        EXPECT_TRUE(gui.checked(IDC_CONFIRM));
        gui.select(1);
        EXPECT_FALSE(gui.checked(IDC_CONFIRM));
        EXPECT_FALSE(gui.enabled(IDOK));

        gui.send(WM_COMMAND, IDCANCEL);  // Escape
        gui.send(WM_HELP);               // F1
        EXPECT_TRUE(::IsWindow(gui.window()));
        gui.post(WM_CLOSE);
        EXPECT_TRUE(gui.wait_until_closed());
    });
}

TEST_F(MainDialog, StartAnsweredNoFormatsNothing) {
    plug(u"Disk", kTwoTerabytes, "E");
    run([this](GuiDriver& gui) {
        gui.click(IDC_CONFIRM);
        gui.post_click(IDOK);
        GuiDriver::Box warning = gui.wait_for_box();
        EXPECT_EQ(warning.text, text_of(IDS_WARNING));
        // Yes and No with the exclamation icon, No the default: Enter does not format.
        EXPECT_EQ(warning.style, UINT{MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2});
        gui.answer(warning, IDNO);
        EXPECT_FALSE(gui.checked(IDC_CONFIRM));
        EXPECT_FALSE(gui.enabled(IDOK));
        EXPECT_TRUE(disks.log().calls.empty());
        gui.click(IDC_CLOSE);
        EXPECT_TRUE(gui.wait_until_closed());
    });
}

TEST_F(MainDialog, StartAnsweredYesFormatsTheDiskAndShows107) {
    plug(u"Disk", 0x19000000ull * 512, "E");
    disks.keep_bytes = false;
    run([this](GuiDriver& gui) {
        gui.click(IDC_CONFIRM);
        gui.post_click(IDOK);
        gui.answer(gui.wait_for_box(), IDYES);
        GuiDriver::Box result = gui.wait_for_box();
        EXPECT_EQ(result.text, text_of(IDS_FINISHED));
        EXPECT_EQ(result.style, UINT{MB_OK | MB_ICONINFORMATION});
        gui.answer(result, IDOK);
        EXPECT_FALSE(gui.checked(IDC_CONFIRM));
        EXPECT_EQ(gui.list_count(), 1);
        EXPECT_TRUE(gui.enabled(IDC_CLOSE));
        gui.click(IDC_CLOSE);
        EXPECT_TRUE(gui.wait_until_closed());
    });
    ASSERT_FALSE(disks.log().calls.empty());
    EXPECT_EQ(disks.log().calls.front(), "open_disk");
    EXPECT_EQ(disks.log().calls.back(), "close disk");
}

TEST_F(MainDialog, ADiskOutsideTheWindowGets109) {
    plug(u"Small", 0x18FFFFFFull * 512);
    run([this](GuiDriver& gui) {
        gui.click(IDC_CONFIRM);
        gui.post_click(IDOK);
        GuiDriver::Box refusal = gui.wait_for_box();
        EXPECT_EQ(refusal.text, text_of(IDS_NOT_SUPPORTED));
        EXPECT_EQ(refusal.style, UINT{MB_OK | MB_ICONERROR});
        gui.answer(refusal, IDOK);
        EXPECT_FALSE(gui.checked(IDC_CONFIRM));
        EXPECT_TRUE(disks.log().calls.empty());
        gui.click(IDC_CLOSE);
        EXPECT_TRUE(gui.wait_until_closed());
    });
}

// The disk chosen, unplugged while the warning is up, is found gone by its interface path: 106
// and nothing written, also when a twin of the same model is still there.
TEST_F(MainDialog, ADiskThatVanishedGets106EvenBesideItsTwin) {
    for (const bool twin : {false, true}) {
        fake = FakeDisks();
        if (twin) {
            plug(u"Twin", kTwoTerabytes, "E");
        }
        const std::u16string leaving = plug(u"Twin", kTwoTerabytes, "F");
        run([&](GuiDriver& gui) {
            gui.select(twin ? 1 : 0);
            gui.click(IDC_CONFIRM);
            gui.post_click(IDOK);
            GuiDriver::Box warning = gui.wait_for_box();
            storage.disks.erase(leaving);
            gui.answer(warning, IDYES);
            GuiDriver::Box refusal = gui.wait_for_box();
            EXPECT_EQ(refusal.text, text_of(IDS_CANNOT_FORMAT)) << twin;
            EXPECT_EQ(refusal.style, UINT{MB_OK | MB_ICONERROR}) << twin;
            gui.answer(refusal, IDOK);
            EXPECT_FALSE(gui.checked(IDC_CONFIRM));
            EXPECT_TRUE(disks.log().calls.empty()) << twin;
            gui.click(IDC_CLOSE);
            EXPECT_TRUE(gui.wait_until_closed());
        });
    }
}

TEST_F(MainDialog, NineDisksEndTheProgramAfter108) {
    for (int i = 0; i < 9; ++i) {
        const char16_t name[] = {u'D', static_cast<char16_t>(u'1' + i), 0};
        plug(name, kTwoTerabytes);
    }
    CVekFormatterDlg dialog(sources());
    std::wstring shown;
    UINT style = 0;
    GuiDriver::run([&] { EXPECT_EQ(dialog.DoModal(), IDOK); }, &dialog.m_hWnd,
                   [&](GuiDriver& gui) {
                       GuiDriver::Box box = gui.wait_for_box();
                       shown = box.text;
                       style = box.style;
                       gui.answer(box, IDOK);
                   });
    EXPECT_EQ(shown, text_of(IDS_TOO_MANY_DISKS));
    EXPECT_EQ(style, UINT{MB_OK | MB_ICONERROR});
}

// A disk that shrank below the window while the warning was up (its record re-read at Start) is
// refused with 109 like one that was outside from the start.
TEST_F(MainDialog, TheFreshRecordAtStartIsCheckedAgainstTheWindow) {
    const std::u16string path = plug(u"Shrinking", kTwoTerabytes);
    run([&](GuiDriver& gui) {
        gui.click(IDC_CONFIRM);
        gui.post_click(IDOK);
        GuiDriver::Box warning = gui.wait_for_box();
        storage.disks[path].length = 0x18FFFFFFull * 512;
        gui.answer(warning, IDYES);
        GuiDriver::Box refusal = gui.wait_for_box();
        EXPECT_EQ(refusal.text, text_of(IDS_NOT_SUPPORTED));
        gui.answer(refusal, IDOK);
        EXPECT_FALSE(gui.checked(IDC_CONFIRM));
        EXPECT_TRUE(disks.log().calls.empty());
        gui.click(IDC_CLOSE);
        EXPECT_TRUE(gui.wait_until_closed());
    });
}

HWND g_filtered_window = nullptr;
UINT g_filtered_message = 0;
int g_filter_calls = 0;
bool record_filter(HWND window, UINT message) {
    g_filtered_window = window;
    g_filtered_message = message;
    ++g_filter_calls;
    return true;
}

// The elevated program lets Explorer's AutoPlay question through to its own window, once.
TEST_F(MainDialog, LetsTheAutoPlayQuestionThroughFromExplorer) {
    CVekFormatterDlg dialog(sources());
    dialog.set_message_filter(&record_filter);
    HWND shown = nullptr;
    GuiDriver::run([&] { dialog.DoModal(); }, &dialog.m_hWnd,
                   [&](GuiDriver& gui) {
                       shown = gui.window();
                       gui.click(IDC_CLOSE);
                       EXPECT_TRUE(gui.wait_until_closed());
                   });
    EXPECT_EQ(g_filter_calls, 1);
    EXPECT_EQ(g_filtered_window, shown);
    EXPECT_EQ(g_filtered_message, ::RegisterWindowMessageW(L"QueryCancelAutoPlay"));
}

// A second start that got past its probe at the same moment as a first finds the mutex taken
// when its dialog initialises: it brings the first to the front and ends.
TEST_F(MainDialog, GivesWayWhenAnotherStartHoldsTheInstanceMutex) {
    HANDLE first = ::CreateMutexW(nullptr, FALSE, kInstanceName);
    HWND window = ::CreateWindowExW(0, L"STATIC", L"first", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                                    nullptr, nullptr, nullptr, nullptr);
    ::ShowWindow(window, SW_SHOWMINIMIZED);
    ::SetPropW(window, kInstanceName, reinterpret_cast<HANDLE>(1));
    CVekFormatterDlg dialog(sources());
    INT_PTR ended = 0;
    GuiDriver::run([&] { ended = dialog.DoModal(); }, nullptr,
                   [](GuiDriver& gui) {
                       EXPECT_EQ(gui.wait_for_box(1500).window, nullptr);  // no message
                   });
    EXPECT_EQ(ended, IDCANCEL);
    EXPECT_FALSE(::IsIconic(window));
    ::RemovePropW(window, kInstanceName);
    ::DestroyWindow(window);
    ::CloseHandle(first);
}

// A refresh that runs out of memory leaves the list empty and says so once with 104 and code 4
// (not 103, which would claim that no disk is connected); the dialog stays usable.
TEST_F(MainDialog, ARefreshThatThrowsShows104WithCode4) {
    plug(u"Disk", kTwoTerabytes, "E");
    int trees = 0;
    DiskSources throwing{[&]() -> std::unique_ptr<DeviceTree> {
                             if (++trees == 2) {
                                 throw std::bad_alloc();
                             }
                             return std::make_unique<FakeDeviceTree>(fake.tree);
                         },
                         &fake.storage, &disks};
    CVekFormatterDlg dialog(throwing);
    GuiDriver::run([&] { dialog.DoModal(); }, &dialog.m_hWnd,
                   [&](GuiDriver& gui) {
                       ASSERT_EQ(gui.list_count(), 1);
                       gui.post(WM_DEVICECHANGE, DBT_DEVNODES_CHANGED);
                       GuiDriver::Box failed = gui.wait_for_box();
                       EXPECT_NE(failed.text.find(L"4"), std::wstring::npos) << failed.text;
                       EXPECT_EQ(failed.text, message_for_result(kJobNoMemory).text);
                       gui.answer(failed, IDOK);
                       EXPECT_EQ(gui.wait_for_box(500).window, nullptr);  // once
                       EXPECT_EQ(gui.list_count(), 0);
                       EXPECT_EQ(gui.text(IDC_STATUS), L"");
                       EXPECT_FALSE(gui.enabled(IDOK));
                       gui.send(WM_DEVICECHANGE,
                                DBT_DEVNODES_CHANGED);  // the next refresh works again
                       EXPECT_EQ(gui.list_count(), 1);
                       gui.click(IDC_CLOSE);
                       EXPECT_TRUE(gui.wait_until_closed());
                   });
}

// The About box is owned by the main dialog, as a framework's modal box is: the dialog is
// disabled under it, it has no taskbar button of its own, and it is the dialog's last active
// popup (which a second start brings to the front).
// The dialog procedures themselves keep an exception from the system's window code: one thrown
// by OnInitDialog or by a message handler is shown as 104 with code 4 once, and the dialog goes
// on working and closes.
class ThrowingDialog : public CVekFormatterDlg {
  public:
    static constexpr int kThrowingCommand = 0x7F01;
    ThrowingDialog(DiskSources sources, bool at_init)
        : CVekFormatterDlg(std::move(sources)), at_init_(at_init) {}

  protected:
    BOOL OnInitDialog() override {
        const BOOL shown = CVekFormatterDlg::OnInitDialog();
        if (at_init_) {
            throw std::runtime_error("thrown by OnInitDialog");
        }
        return shown;
    }
    bool OnCommand(int id, int code) override {
        if (id == kThrowingCommand) {
            throw std::runtime_error("thrown by a command handler");
        }
        return CVekFormatterDlg::OnCommand(id, code);
    }

  private:
    bool at_init_;
};

TEST_F(MainDialog, AnExceptionThroughTheDialogProceduresShows104Once) {
    plug(u"Disk", kTwoTerabytes, "E");
    for (const bool at_init : {true, false}) {
        SCOPED_TRACE(at_init ? "OnInitDialog" : "a command handler");
        ThrowingDialog dialog(sources(), at_init);
        // The box of a throwing OnInitDialog comes before the dialog shows.
        GuiDriver::run([&] { dialog.DoModal(); }, &dialog.m_hWnd,
                       [&](GuiDriver& gui) {
                           if (!at_init) {
                               gui.post(WM_COMMAND,
                                        MAKEWPARAM(ThrowingDialog::kThrowingCommand, BN_CLICKED));
                           }
                           const GuiDriver::Box failed = gui.wait_for_box();
                           EXPECT_EQ(failed.text, message_for_result(kJobNoMemory).text);
                           gui.answer(failed, IDOK);
                           EXPECT_EQ(gui.wait_for_box(500).window, nullptr);  // once
                           EXPECT_EQ(gui.list_count(), 1);
                           gui.click(IDC_CLOSE);
                           EXPECT_TRUE(gui.wait_until_closed());
                       });
    }
}

TEST_F(MainDialog, TheAboutBoxIsOwnedByTheDialog) {
    run([](GuiDriver& gui) {
        gui.post(WM_SYSCOMMAND, IDM_ABOUT);
        GuiDriver::Box about = gui.wait_for_box();
        ASSERT_NE(about.window, nullptr);
        EXPECT_EQ(::GetWindow(about.window, GW_OWNER), gui.window());
        EXPECT_FALSE(::IsWindowEnabled(gui.window()));
        EXPECT_EQ(::GetWindowLongW(about.window, GWL_EXSTYLE) & WS_EX_APPWINDOW, 0);
        EXPECT_EQ(::GetLastActivePopup(gui.window()), about.window);
        gui.answer(about, IDOK);
        EXPECT_TRUE(::IsWindowEnabled(gui.window()));
        gui.click(IDC_CLOSE);
        EXPECT_TRUE(gui.wait_until_closed());
    });
}

// The files the licence item asked the shell to open, in order; none of them opens unless it is
// the one named in `g_opens`.
std::vector<std::wstring> g_asked;
const wchar_t* g_opens = L"";
bool open_for_test(HWND, const wchar_t* path) {
    g_asked.emplace_back(path);
    const std::wstring name = std::filesystem::path(path).filename().wstring();
    ::SetLastError(ERROR_NO_ASSOCIATION);
    return name == g_opens;
}

// Where no program opens the document, the plain-text copy is opened; where neither opens, the
// message names the file there is to read with a text editor (the text copy, where it is
// there), and says the document is missing where neither file is there.
TEST(LicenceDocument, OpensTheTextCopyOrNamesTheFileThereIsToRead) {
    struct Case {
        const char* name;
        std::vector<const wchar_t*> files;  // in the folder
        const wchar_t* opens;               // the one a program opens
        UINT message;                       // 0: none
        const wchar_t* named;
    };
    const Case cases[] = {
        {"the document opens",
         {L"EULA FOR LINTORA.rtf", L"EULA FOR LINTORA.txt"},
         L"EULA FOR LINTORA.rtf",
         0,
         L""},
        {"only the text copy opens",
         {L"EULA FOR LINTORA.rtf", L"EULA FOR LINTORA.txt"},
         L"EULA FOR LINTORA.txt",
         0,
         L""},
        {"nothing opens the text copy",
         {L"EULA FOR LINTORA.txt"},
         L"",
         IDS_NO_LICENCE_VIEWER,
         L"EULA FOR LINTORA.txt"},
        {"nothing opens the document",
         {L"EULA FOR LINTORA.rtf"},
         L"",
         IDS_NO_LICENCE_VIEWER,
         L"EULA FOR LINTORA.rtf"},
        {"both missing", {}, L"", IDS_LICENCE_MISSING, L"EULA FOR LINTORA.rtf"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ScratchFolder folder("licence");
        for (const wchar_t* file : c.files) {
            std::ofstream(folder.path() / file) << "licence";
        }
        const std::wstring where = folder.path().wstring();
        g_asked.clear();
        g_opens = c.opens;
        std::wstring shown;
        GuiDriver::run([&] { open_licence_document(nullptr, where.c_str(), &open_for_test); },
                       nullptr,
                       [&](GuiDriver& gui) {
                           if (c.message == 0) {
                               return;
                           }
                           GuiDriver::Box box = gui.wait_for_box();
                           shown = box.text;
                           EXPECT_EQ(box.style, UINT{MB_OK | MB_ICONEXCLAMATION});
                           gui.answer(box, IDOK);
                       });
        ASSERT_FALSE(g_asked.empty());
        EXPECT_EQ(std::filesystem::path(g_asked[0]).filename().wstring(), L"EULA FOR LINTORA.rtf");
        EXPECT_EQ(g_asked.size(), std::wstring(c.opens) == L"EULA FOR LINTORA.rtf" ? 1u : 2u);
        if (c.message == 0) {
            EXPECT_TRUE(shown.empty());
            continue;
        }
        const std::wstring format = text_of(c.message);
        EXPECT_EQ(shown.rfind(format.substr(0, format.find(L"%s")), 0), 0u) << shown.size();
        EXPECT_NE(shown.find((folder.path() / c.named).wstring()), std::wstring::npos);
    }
}

TEST(AboutBox, ShowsTheProgramsFileVersion) {
    CAboutDlg about;
    std::wstring version;
    GuiDriver::run([&] { about.DoModal(); }, &about.m_hWnd,
                   [&](GuiDriver& gui) {
                       version = gui.text(IDC_VERSION);
                       gui.send(WM_HELP);
                       gui.post_click(IDOK);
                       gui.wait_until_closed();
                   });
    EXPECT_EQ(version, L"Version: " LINTORA_TEST_VERSION);
}

TEST(AboutBox, VersionTextOnlyFromTheJapaneseBlock) {
    CVerLib lib;
    ASSERT_TRUE(load_version_library(lib));
    wchar_t self[270] = {};
    ::GetModuleFileNameW(nullptr, self, 270);
    EXPECT_EQ(version_text(lib, self, L"Version: %s"), L"Version: " LINTORA_TEST_VERSION);
    // A system library carries an English block only: the template stays as it is.
    wchar_t other[270] = {};
    ::GetSystemDirectoryW(other, 260);
    std::wcscat(other, L"\\version.dll");
    EXPECT_EQ(version_text(lib, other, L"Version: %s"), L"Version: %s");
    EXPECT_EQ(version_text(lib, L"C:\\no\\such.exe", L"Version: %s"), L"Version: %s");
    unload_library(lib);
}

TEST(AboutBox, KeepsTheTemplateWithoutTheVersionLibrary) {
    CAboutDlg about;
    load_version_library(about, L"no-such-library.dll");
    std::wstring version;
    GuiDriver::run([&] { about.DoModal(); }, &about.m_hWnd,
                   [&](GuiDriver& gui) {
                       version = gui.text(IDC_VERSION);
                       gui.post_click(IDOK);
                       gui.wait_until_closed();
                   });
    EXPECT_EQ(version, L"Version: %s");
}

}  // namespace

}  // namespace lintora
