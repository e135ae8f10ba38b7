#include "prep/volume_format.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "prep/boot_sector_hold.h"

namespace lintora {

namespace {

// The adapter's own transfer size, in whole clusters: 64 KiB where it reports none, and a
// descriptor beyond any adapter (4 GiB) held to 16 MiB.
TEST(JobIoChunk, TheAdaptersTransferSizeInWholeClusters) {
    struct Case {
        uint32_t adapter, cluster, chunk;
    };
    for (const Case& c :
         {Case{0, 4096, 65536}, Case{65536, 4096, 65536}, Case{0x1FE00, 4096, 0x1F000},
          Case{512, 4096, 4096}, Case{0x400000, 4096, 0x400000}, Case{0x200000, 65536, 0x200000},
          Case{0xFFFFFFFF, 4096, 0x1000000}, Case{0x1000000, 4096, 0x1000000},
          Case{0, 2097152, 65536}, Case{0x200000, 1048576, 0x200000}, Case{512, 131072, 65536}}) {
        EXPECT_EQ(job_io_chunk(c.adapter, c.cluster), c.chunk) << c.adapter;
    }
}

TEST(CountedName, CountsUnitsAndMarksTextsAboveTheLimit) {
    EXPECT_EQ(counted_name(u"MAROVAN EXT", kMaxLabelUnits).length, 22u);
    EXPECT_EQ(counted_name(nullptr, kMaxLabelUnits).length, 0u);
    const std::u16string longest(kMaxLabelUnits, u'x');
    EXPECT_EQ(counted_name(longest.c_str(), kMaxLabelUnits).length, 256u);
    const std::u16string too_long(kMaxLabelUnits + 50, u'x');
    EXPECT_EQ(counted_name(too_long.c_str(), kMaxLabelUnits).length, 258u);
}

// Keeps every write as (offset, bytes).
class CaptureDevice final : public DiskIo {
  public:
    Outcome write_at(uint64_t offset, const uint8_t* data, uint32_t length) override {
        writes.emplace_back(offset, std::vector<uint8_t>(data, data + length));
        flushes_before.push_back(flushes);
        return Outcome::success();
    }
    Outcome read_at(uint64_t, uint8_t*, uint32_t) override {
        return Outcome::unsupported("a capture keeps no medium");
    }
    Outcome flush() override {
        ++flushes;
        return Outcome::success();
    }
    Outcome forget_cached() override { return Outcome::success(); }

    std::vector<std::pair<uint64_t, std::vector<uint8_t>>> writes;
    std::vector<uint32_t> flushes_before;  // of each write, the flushes that came before it
    uint32_t flushes = 0;
};

TEST(BootSectorHold, KeepsBothBootSectorsBackUntilCommitted) {
    CaptureDevice target;
    BootSectorHold hold(target, 1024, 100, 512);  // volume sectors 0 and 99 at bytes 1024, 51712
    ASSERT_TRUE(hold.clear().ok());
    ASSERT_EQ(target.writes.size(), 2u);
    EXPECT_EQ(target.writes[1].first, 1024u + 99 * 512);
    EXPECT_EQ(target.writes[0].second, std::vector<uint8_t>(512, 0));
    target.writes.clear();

    // One write over the first three sectors passes only the second and third.
    std::vector<uint8_t> start(1536);
    for (size_t i = 0; i < start.size(); ++i) {
        start[i] = static_cast<uint8_t>(i / 512 + 1);
    }
    ASSERT_TRUE(hold.write_at(1024, start.data(), 1536).ok());
    // One write over the last two sectors passes only the one before the last.
    const std::vector<uint8_t> end(1024, 9);
    ASSERT_TRUE(hold.write_at(1024 + 98 * 512, end.data(), 1024).ok());
    ASSERT_EQ(target.writes.size(), 2u);
    EXPECT_EQ(target.writes[0].first, 1024u + 512);
    EXPECT_EQ(target.writes[0].second.size(), 1024u);
    EXPECT_EQ(target.writes[0].second[0], 2);
    EXPECT_EQ(target.writes[1].first, 1024u + 98 * 512);
    EXPECT_EQ(target.writes[1].second.size(), 512u);
    target.writes.clear();

    // The backup, a flush, then the primary: until the last write the primary stays zeros.
    ASSERT_TRUE(hold.commit().ok());
    ASSERT_EQ(target.writes.size(), 2u);
    EXPECT_EQ(target.writes[0].first, 1024u + 99 * 512);
    EXPECT_EQ(target.writes[0].second, std::vector<uint8_t>(512, 9));
    EXPECT_EQ(
        target.flushes_before.back() - target.flushes_before[target.flushes_before.size() - 2], 1u);
    EXPECT_EQ(target.writes[1].first, 1024u);
    EXPECT_EQ(target.writes[1].second, std::vector<uint8_t>(512, 1));
}

}  // namespace

}  // namespace lintora
