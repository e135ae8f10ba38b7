// The licence agreement beside the program: "EULA FOR LINTORA.rtf", opened with whatever the
// system opens RTF with.
#pragma once

#include <windows.h>

namespace lintora {

// How a file is opened: true when the shell opened it; otherwise false with the system's error
// (GetLastError) left for the caller.
using OpenFile = bool (*)(HWND owner, const wchar_t* path);

// Opens the document in `folder`; where no program opens RTF (recent Windows has no WordPad),
// the plain-text copy beside it, which Notepad opens. Where neither opens, a message owned by
// `owner` names the file to read with a text editor (the plain-text copy where it is there), or
// says that the document is missing where neither file is there. `open` is the shell's, or a
// test's.
void open_licence_document(HWND owner, const wchar_t* folder, OpenFile open = nullptr);

}  // namespace lintora
