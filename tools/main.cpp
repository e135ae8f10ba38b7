// lintora: re-initialises disks and disk images from the command line.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/commands.h"

int main(int argc, char** argv) {
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0) {
        std::fprintf(argc < 2 ? stderr : stdout,
                     "usage: lintora volume FILE [options]   format FILE as one NTFS volume\n"
                     "       lintora disk FILE [options]     partition FILE and format its "
                     "data partition\n");
        return argc < 2 ? 2 : 0;
    }
    const std::vector<std::string> words(argv + 2, argv + argc);
    const std::string command = argv[1];
    if (command == "volume") {
        return lintora::run_volume_command(words);
    }
    if (command == "disk") {
        return lintora::run_disk_command(words);
    }
    std::fprintf(stderr, "lintora: unknown command '%s'\n", argv[1]);
    return 2;
}
