// Message boxes of the program, titled with its name, and the one place where a job's result
// becomes a message.
#pragma once

#include <windows.h>

#include <string>

#include "prep/format_job.h"

namespace lintora {

// Shows string `id` in a message box titled "Lintora" with `style`; returns the button pressed.
int show_message(HWND owner, UINT id, UINT style);

// The message of a finished job: 107 for success, 106 for a refused disk, 104 with the number
// for anything else.
struct ResultMessage {
    UINT id;
    std::wstring text;
    UINT style;
};
ResultMessage message_for_result(FormatJobResult result);

}  // namespace lintora
