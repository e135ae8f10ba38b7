// LintoraDemo.exe IMAGE [SECTOR_SIZE]: the whole program, guards included, over one of the
// maker's disks backed by a disk image; for demonstrations and the end-to-end GUI checks under
// Wine. LINTORA_DEMO_WRITE_DELAY_MS slows every write; LINTORA_DEMO_UNPLUG_AFTER=N makes every
// write after the N-th fail. Not shipped.
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on

#include <cstdlib>
#include <string>

#include "app/application.h"
#include "app/demo/demo_disks.h"
#include "app/library_search.h"
#include "app/testing/fake_disks.h"

namespace {

uint64_t number_from_environment(const char* name) {
    const char* text = std::getenv(name);
    return text != nullptr ? std::strtoull(text, nullptr, 10) : 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    lintora::restrict_library_search();
    int count = 0;
    wchar_t** words = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (count < 2) {
        ::MessageBoxW(nullptr, L"usage: LintoraDemo.exe IMAGE [SECTOR_SIZE]", L"Lintora", MB_OK);
        return 2;
    }
    lintora::DemoOptions options;
    options.image = reinterpret_cast<const char16_t*>(words[1]);
    options.sector_size =
        count > 2 ? static_cast<uint32_t>(std::wcstoul(words[2], nullptr, 10)) : 512;
    ::LocalFree(words);
    options.write_delay_ms =
        static_cast<uint32_t>(number_from_environment("LINTORA_DEMO_WRITE_DELAY_MS"));
    options.unplug_after_writes = number_from_environment("LINTORA_DEMO_UNPLUG_AFTER");

    std::unique_ptr<lintora::DiskSystem> system = lintora::make_system_disks();
    lintora::TargetInfo image;
    if (!system->query_target(options.image.c_str(), &image).ok()) {
        ::MessageBoxW(nullptr, L"The disk image cannot be opened.", L"Lintora", MB_OK);
        return 1;
    }
    lintora::FakeDisks fake;
    fake.plug(u"Marovan Ext Disk USB Device", image.size_bytes, "", options.sector_size);
    lintora::DemoDiskSystem disks(*system, options);
    lintora::CVekFormatterApp app(
        lintora::DiskSources{[&] { return std::make_unique<lintora::FakeDeviceTree>(fake.tree); },
                             &fake.storage, &disks},
        lintora::system_probes());
    app.InitInstance();
    return 0;
}
