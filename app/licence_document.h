// The licence agreement beside the program: "EULA FOR LINTORA.rtf", opened with whatever the
// system opens RTF with.
#pragma once

#include <windows.h>

namespace lintora {

// Opens the document in `folder`; where no program opens RTF (recent Windows has no WordPad),
// the plain-text copy beside it, which Notepad opens; where neither opens, a message owned by
// `owner` names the document to read.
void open_licence_document(HWND owner, const wchar_t* folder);

}  // namespace lintora
