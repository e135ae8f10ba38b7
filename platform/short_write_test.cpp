// A short write report is settled by what the disk holds.
#include "platform/short_write.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/fake/fake_raw_disk.h"

namespace lintora {

namespace {

TEST(ShortWrite, TheDisksBytesDecide) {
    struct Case {
        const char* name;
        bool altered;
        bool unreadable;
        bool ok;
        const char* says;
    };
    const Case cases[] = {
        {"all bytes there", false, false, true, ""},
        {"a byte missing", true, false, false,
         "the disk took only 512 of 4096 bytes, and the rest"},
        {"read-back fails", false, true, false, "reading them back failed: Input/output error"},
    };
    for (const Case& c : cases) {
        FakeDiskSystem system;
        std::unique_ptr<DiskDevice> disk;
        ASSERT_TRUE(system.open_disk(u"disk", 512, DiskUse::whole_disk, &disk).ok());
        const std::vector<uint8_t> data(4096, 0xA5);
        ASSERT_TRUE(disk->write_at(8192, data.data(), 4096).ok());
        if (c.altered) {
            system.altered[8192 + 4000] = 0;
        }
        if (c.unreadable) {
            system.bad_ranges.push_back({8192, 8193});
        }
        const Outcome settled = settle_short_write(*disk, 8192, data.data(), 4096, 512);
        EXPECT_EQ(settled.ok(), c.ok) << c.name;
        EXPECT_NE(settled.reason.find(c.says), std::string::npos)
            << c.name << ": " << settled.reason;
    }
}

}  // namespace

}  // namespace lintora
