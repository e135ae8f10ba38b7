#include <cstdio>

#include "tools/commands.h"

int run_disk_command(const std::vector<std::string>&) {
    std::fprintf(stderr, "lintora disk: not available yet\n");
    return 2;
}
