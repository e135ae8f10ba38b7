#include "prep/sector_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/fake/fake_raw_disk.h"

namespace lintora {

namespace {

struct ProgressLog {
    std::vector<std::vector<uint32_t>> calls;  // phase, done, expected
};

int record_progress(int32_t phase, uint32_t done, uint32_t expected, void* owner) {
    static_cast<ProgressLog*>(owner)->calls.push_back(
        {static_cast<uint32_t>(phase), done, expected});
    return 0;
}

TEST(SectorWriter, CountsUnitsWithoutADevice) {
    ProgressLog log;
    SectorWriter w;
    w.unit_size = 65536;
    w.progress = &record_progress;
    w.phase = kPhaseFileSystem;
    w.owner = &log;
    const uint8_t byte = 0;
    EXPECT_EQ(write_sectors(&w, 0, &byte, 1), 1u);
    EXPECT_EQ(w.units_done, 1u);
    EXPECT_EQ(write_sectors(&w, 0, &byte, 0x100000000ull), 0u);  // above 32 bits
    EXPECT_EQ(w.units_done, 1u);
    ASSERT_EQ(log.calls.size(), 1u);
    EXPECT_EQ(log.calls[0], (std::vector<uint32_t>{2, 1, 0}));

    w.units_done = 0;
    std::vector<uint8_t> data(65537);
    write_sectors(&w, 0, data.data(), data.size());
    write_sectors(&w, 0, data.data(), data.size());
    EXPECT_EQ(w.units_done, 4u);
}

TEST(SectorWriter, WritesAtTheBaseOffsetAndFailsWithTheDevice) {
    FakeDiskSystem system({{FakeOp::write, 2}});
    std::unique_ptr<DiskDevice> disk;
    ASSERT_TRUE(system.open_disk(u"disk", 512, DiskUse::whole_disk, &disk).ok());
    ProgressLog log;
    Outcome failure;
    SectorWriter w;
    w.failure = &failure;
    w.device = disk.get();
    w.unit_size = 512;
    w.base_offset = 1048576;
    w.progress = &record_progress;
    w.units_expected = 10;
    w.owner = &log;
    const std::vector<uint8_t> data(1024, 0x42);
    EXPECT_EQ(write_sectors(&w, 512, data.data(), data.size()), 1024u);
    EXPECT_EQ(system.log().written.at(1048576 + 512), 0x42);
    EXPECT_FALSE(system.log().written.at(1048576 + 1536).has_value());
    EXPECT_EQ(write_sectors(&w, 0, data.data(), data.size()), 0u);  // refused: nothing counted
    EXPECT_EQ(failure.reason, "write of 1024 bytes at byte 1048576 failed: refused by the test");
    EXPECT_EQ(w.units_done, 2u);
    ASSERT_EQ(log.calls.size(), 1u);
    EXPECT_EQ(log.calls[0], (std::vector<uint32_t>{0, 2, 10}));

    // A zero-length write positions, counts nothing and still reports.
    EXPECT_EQ(write_sectors(&w, 0, data.data(), 0), 0u);
    EXPECT_EQ(log.calls.size(), 2u);
}

TEST(SectorWriter, RefusesAZeroUnitSize) {
    SectorWriter w;
    const uint8_t byte = 0;
    EXPECT_EQ(write_sectors(&w, 0, &byte, 1), 0u);
}

}  // namespace

}  // namespace lintora
