#include "discovery/disk_entry_text.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>

namespace lintora {

namespace {

std::u16string widen(const char* text) {
    std::u16string out;
    for (const char* p = text; *p != 0; ++p) {
        out += static_cast<char16_t>(static_cast<unsigned char>(*p));
    }
    return out;
}

}  // namespace

std::u16string format_capacity(const DiskInfo& disk) {
    constexpr uint64_t kGiB = 1ull << 30;
    constexpr uint64_t kTiB = 1ull << 40;
    const uint64_t total = uint64_t{disk.bytes_per_sector} * disk.sector_count;
    const bool terabytes = total >= kTiB;
    const uint64_t unit = terabytes ? kTiB : kGiB;
    const uint64_t whole = total / unit;
    // Hundredths as 1/1024 units divided by 10; remainders of 1000 to 1023 units would give a
    // third digit ("1.102TB" for a disk just short of 2 TiB), which reads as a tenth: they
    // show as .99.
    const uint64_t fraction = std::min<uint64_t>(((total % unit) / (unit / 1024)) / 10, 99);
    char text[64];
    std::snprintf(text, sizeof text, "%" PRIu64 ".%02" PRIu64 "%s", whole, fraction,
                  terabytes ? "TB" : "GB");
    return widen(text);
}

std::u16string format_disk_entry(const DiskInfo& disk) {
    std::u16string name;
    for (uint32_t i = 0; i < kPathUnits && disk.friendly_name[i] != 0; ++i) {
        name += disk.friendly_name[i];
    }
    std::u16string letters;
    for_each_drive_letter(disk.drive_letters, [&](char letter) {
        if (!letters.empty()) {
            letters += u',';
        }
        letters += static_cast<char16_t>(letter);
        letters += u':';
    });
    const std::u16string capacity = format_capacity(disk);
    if (letters.empty()) {
        return name + u" " + capacity;
    }
    return u"(" + letters + u") " + name + u" " + capacity;
}

}  // namespace lintora
