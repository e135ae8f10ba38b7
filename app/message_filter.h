// The program runs elevated, and Windows drops registered messages that a process of lower
// integrity (Explorer) sends to it unless its window allows them. The AutoPlay question
// "QueryCancelAutoPlay" comes from Explorer.
#pragma once

#include <windows.h>

namespace lintora {

// Lets `message` reach `window` from processes of lower integrity. The system function is bound
// at run time, so a system without it still starts (nothing is dropped there); false when it is
// missing or refuses.
bool allow_message_from_lower_integrity(HWND window, UINT message);

using MessageFilter = bool (*)(HWND window, UINT message);

}  // namespace lintora
