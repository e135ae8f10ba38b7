// Lintora.exe: the application object over the system's device tree, storage queries and disks.
#include <windows.h>

#include "app/application.h"
#include "app/library_search.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    lintora::restrict_library_search();
    std::unique_ptr<lintora::StorageSystem> storage = lintora::make_system_storage();
    std::unique_ptr<lintora::DiskSystem> disks = lintora::make_system_disks();
    lintora::DiskSources sources{&lintora::make_system_device_tree, storage.get(), disks.get()};
    lintora::CVekFormatterApp app(sources, lintora::system_probes());
    app.InitInstance();
    return 0;
}
