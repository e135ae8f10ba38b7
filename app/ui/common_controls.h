// The common controls (version 6, as the manifest asks), bound at run time. A static import
// would be loaded with the program, before it restricts where libraries come from, and would
// bring the libraries it needs in turn (the theme library) from the program's own folder.
#pragma once

#include <windows.h>

namespace lintora::ui {

// Loads the library from the system (or its side-by-side store) once, and registers the window
// classes `classes` (ICC_* bits); false when the library or the call fails.
bool init_common_controls(DWORD classes);

}  // namespace lintora::ui
