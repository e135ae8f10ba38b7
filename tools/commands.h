// The subcommands of the lintora tool; each returns the process exit code.
#pragma once

#include <string>
#include <vector>

namespace lintora {

int run_volume_command(const std::vector<std::string>& words);
int run_disk_command(const std::vector<std::string>& words);
int run_list_command(const std::vector<std::string>& words);

}  // namespace lintora
