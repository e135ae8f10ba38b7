// The build's own raw-disk layer on an ordinary file: POSIX here, Win32 under Wine.
#include "platform/raw_disk.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ntfs/le.h"

namespace lintora {

namespace {

class RawDiskFile : public ::testing::Test {
  protected:
    void SetUp() override {
        path = std::filesystem::temp_directory_path() /
               ("lintora-raw-disk-" +
                std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + ".img");
        std::ofstream(path, std::ios::binary).close();
        std::filesystem::resize_file(path, 64 * 1024 * 1024);
    }
    void TearDown() override { std::filesystem::remove(path); }

    std::vector<uint8_t> read(uint64_t offset, size_t length) {
        std::ifstream in(path, std::ios::binary);
        in.seekg(static_cast<std::streamoff>(offset));
        std::vector<uint8_t> bytes(length);
        in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(length));
        return bytes;
    }

    std::unique_ptr<DiskDevice> open(uint32_t sector_size = 512) {
        disks = make_system_disks(sector_size);
        return disks->open_disk(path.u16string().c_str());
    }

    std::filesystem::path path;
    std::unique_ptr<DiskSystem> disks;
};

TEST_F(RawDiskFile, WritesAtOffsetsAndFlushes) {
    auto disk = open();
    ASSERT_TRUE(disk);
    const std::vector<uint8_t> data(4096, 0x5C);
    ASSERT_TRUE(disk->write_at(3 * 1024 * 1024 + 512, data.data(), 4096));
    ASSERT_TRUE(disk->flush());
    disk.reset();
    EXPECT_EQ(read(3 * 1024 * 1024 + 512, 4096), data);
    EXPECT_EQ(read(3 * 1024 * 1024, 512), std::vector<uint8_t>(512, 0));
}

TEST_F(RawDiskFile, MissingFileIsNotOpened) {
    disks = make_system_disks(512);
    const std::u16string missing = (path.u16string() + u".absent");
    EXPECT_FALSE(disks->open_disk(missing.c_str()));
}

TEST_F(RawDiskFile, GuidsAreFreshVersion4) {
    disks = make_system_disks(512);
    const Guid a = disks->make_guid();
    const Guid b = disks->make_guid();
    EXPECT_NE(a, b);
#ifndef _WIN32
    EXPECT_EQ(a.bytes[7] >> 4, 4);
    EXPECT_EQ(a.bytes[8] >> 6, 2);
#endif
}

#ifndef _WIN32
// Without a partition manager the POSIX layer writes the tables itself.
TEST_F(RawDiskFile, PosixLayerWritesGptAndMbrTables) {
    for (uint32_t sector_size : {512u, 4096u}) {
        auto disk = open(sector_size);
        ASSERT_TRUE(disk);
        const uint64_t last = 64 * 1024 * 1024 / sector_size - 1;
        CreateDiskRecord gpt;
        gpt.style = kPartitionStyleGpt;
        gpt.gpt_disk_id.bytes[0] = 0x77;
        gpt.max_partition_count = 128;
        ASSERT_TRUE(disk->create_disk(gpt));
        EXPECT_EQ(read(sector_size, 8),
                  std::vector<uint8_t>({'E', 'F', 'I', ' ', 'P', 'A', 'R', 'T'}));
        EXPECT_EQ(read(last * sector_size, 8), read(sector_size, 8));
        EXPECT_EQ(read(510, 2), std::vector<uint8_t>({0x55, 0xAA}));
        EXPECT_EQ(read(0x1BE + 4, 1)[0], 0xEE);

        DriveLayoutRecord layout;
        layout.style = kPartitionStyleMbr;
        layout.count = 4;
        PartitionRecord p;
        p.starting_offset = 1024 * 1024;
        p.length = 32 * 1024 * 1024;
        p.mbr_type = 0x07;
        layout.entries.push_back(p);
        std::vector<uint8_t> bytes(624);
        encode_drive_layout(layout, bytes.data(), 624);
        ASSERT_TRUE(disk->create_disk(CreateDiskRecord{}));
        ASSERT_TRUE(disk->set_drive_layout(bytes.data(), 624));
        ASSERT_TRUE(disk->update_properties());
        const std::vector<uint8_t> entry = read(0x1BE, 16);
        EXPECT_EQ(entry[4], 0x07);
        EXPECT_EQ(load_u32(&entry[8]), 1024u * 1024 / sector_size);
        EXPECT_EQ(load_u32(&entry[12]), 32u * 1024 * 1024 / sector_size);
        // Going back to MBR leaves no backup GPT behind.
        EXPECT_EQ(read(last * sector_size, 8), std::vector<uint8_t>(8, 0));
    }
}
#endif

}  // namespace

}  // namespace lintora
