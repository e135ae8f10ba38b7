// An elevated program is often started from the Downloads folder, where a web page can leave a
// file named like a system library (version.dll, uxtheme.dll, dwmapi.dll). The program's first
// act is to keep the library search to the system folder, so that no library it or the system
// loads later on its behalf comes from its own folder.
#pragma once

namespace lintora {

// SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32), bound at run time so that a system
// without it still starts; false when it is missing or refuses.
bool restrict_library_search();

}  // namespace lintora
