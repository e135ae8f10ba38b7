// The console the command-line tool writes to.
#pragma once

#include <cstdio>

namespace lintora {

// Whether `stream` is an interactive terminal (a progress bar is drawn only there).
bool is_terminal(std::FILE* stream);

}  // namespace lintora
