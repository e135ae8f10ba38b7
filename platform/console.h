// The console the command-line tool writes to.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace lintora {

// Whether `stream` is an interactive terminal (a progress bar is drawn only there).
bool is_terminal(std::FILE* stream);
// The width of the terminal `stream` writes to, in columns; 0 when it is none or unknown.
int terminal_columns(std::FILE* stream);

// Standard input, output and error held open (on the null device where one was closed), before
// anything else is opened: a target opened in the place of a closed standard error would take
// the program's messages and progress as its own bytes. False when one cannot be held.
bool hold_standard_streams();

// The program's arguments after its name, in UTF-8: as given on POSIX, converted from the UTF-16
// command line on Windows. Nothing when an argument is not valid Unicode.
std::optional<std::vector<std::string>> program_arguments(int argc, char** argv);

}  // namespace lintora
