// The build's own raw-disk layer on an ordinary file: POSIX here, Win32 under Wine.
#include "platform/raw_disk.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/le.h"
#include "platform/encoding/utf.h"
#include "platform/scratch_folder.h"

#ifndef _WIN32
#include <sys/stat.h>
#else
#include <windows.h>
#endif

namespace lintora {

namespace {

class RawDiskFile : public ::testing::Test {
  protected:
    void SetUp() override {
        path = scratch.path() / "disk.img";
        std::ofstream(path, std::ios::binary).close();
        std::filesystem::resize_file(path, 64 * 1024 * 1024);
    }

    std::vector<uint8_t> read(uint64_t offset, size_t length) {
        std::ifstream in(path, std::ios::binary);
        in.seekg(static_cast<std::streamoff>(offset));
        std::vector<uint8_t> bytes(length);
        in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(length));
        return bytes;
    }

    std::unique_ptr<DiskDevice> open(uint32_t sector_size = 512) {
        std::unique_ptr<DiskDevice> device;
        const Outcome opened =
            disks->open_disk(path.u16string().c_str(), sector_size, DiskUse::whole_disk, &device);
        EXPECT_TRUE(opened.ok()) << opened.reason;
        return device;
    }

    ScratchFolder scratch{"raw-disk"};
    std::filesystem::path path;
    std::unique_ptr<DiskSystem> disks = make_system_disks();
};

TEST_F(RawDiskFile, WritesAtOffsetsAndFlushes) {
    auto disk = open();
    ASSERT_TRUE(disk);
    const std::vector<uint8_t> data(4096, 0x5C);
    ASSERT_TRUE(disk->write_at(3 * 1024 * 1024 + 512, data.data(), 4096).ok());
    ASSERT_TRUE(disk->flush().ok());
    disk.reset();
    EXPECT_EQ(read(3 * 1024 * 1024 + 512, 4096), data);
    EXPECT_EQ(read(3 * 1024 * 1024, 512), std::vector<uint8_t>(512, 0));
}

// The read-back path: written bytes come back after the flush and the dropped cache (under Wine
// through the image's unbuffered second handle, at offsets that are not page-aligned), and a
// read past the end is a failure, not zeros.
TEST_F(RawDiskFile, ReadsBackWhatItWroteFromTheMedium) {
    auto disk = open();
    ASSERT_TRUE(disk);
    std::vector<uint8_t> data(8192);
    for (size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<uint8_t>(i * 7 + 1);
    }
    const uint64_t at = 5 * 1024 * 1024 + 1536;
    ASSERT_TRUE(disk->write_at(at, data.data(), 8192).ok());
    ASSERT_TRUE(disk->flush().ok());
    ASSERT_TRUE(disk->forget_cached().ok());
    std::vector<uint8_t> back(8192);
    const Outcome read = disk->read_at(at, back.data(), 8192);
    ASSERT_TRUE(read.ok()) << read.reason;
    EXPECT_EQ(back, data);
    EXPECT_FALSE(disk->read_at(64 * 1024 * 1024 - 512, back.data(), 1024).ok());

    uint64_t missing = 1;
    const Outcome asked = disks->room_missing_to_fill(path.u16string().c_str(), &missing);
    ASSERT_TRUE(asked.ok()) << asked.reason;
    EXPECT_EQ(missing, 0u);  // 64 MiB fit on any scratch file system
}

TEST_F(RawDiskFile, QueriesAndRefusesWithTheSystemsReason) {
    TargetInfo info;
    ASSERT_TRUE(disks->query_target(path.u16string().c_str(), &info).ok());
    EXPECT_EQ(info.kind, TargetKind::image_file);
    EXPECT_EQ(info.size_bytes, 64u * 1024 * 1024);
    EXPECT_EQ(info.logical_sector_size, 0u);

    const std::u16string missing = (path.u16string() + u".absent");
    std::unique_ptr<DiskDevice> device;
    const Outcome opened = disks->open_disk(missing.c_str(), 512, DiskUse::volume, &device);
    EXPECT_EQ(opened.kind, OutcomeKind::failed);
    EXPECT_FALSE(opened.reason.empty());
    EXPECT_FALSE(device);
    EXPECT_FALSE(disks->query_target(missing.c_str(), &info).ok());
    // A folder is refused by its type.
    const std::u16string folder = path.parent_path().u16string();
    EXPECT_FALSE(disks->open_disk(folder.c_str(), 512, DiskUse::volume, &device).ok());
    EXPECT_FALSE(disks->query_target(folder.c_str(), &info).ok());
}

#ifdef _WIN32
// A volume that another program holds open without sharing it for writing cannot be opened for
// writing (ERROR_SHARING_VIOLATION): the refusal is marked in use, to be tried again as a lock
// refused as in use is. (The file stands in for a volume's device: the same CreateFileW call.)
TEST_F(RawDiskFile, AVolumeHeldWithoutWriteSharingIsInUse) {
    HANDLE held = CreateFileW(path.wstring().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    std::unique_ptr<VolumeHandle> volume;
    const Outcome opened = disks->open_volume_path(path.u16string().c_str(), &volume);
    CloseHandle(held);
    EXPECT_FALSE(opened.ok());
    EXPECT_TRUE(opened.in_use) << opened.reason;
    EXPECT_FALSE(volume);
    // Once it is let go, the same open works.
    EXPECT_TRUE(disks->open_volume_path(path.u16string().c_str(), &volume).ok());
}

// The disk's and a volume's handles ask for reading and writing and share both (Windows' own
// programs keep their handles to a disk): a second handle that shares reading and writing
// opens beside them, one that would not share writing cannot.
TEST_F(RawDiskFile, DiskAndVolumeHandlesWriteAndShareReadingAndWriting) {
    const auto second = [&](DWORD share) {
        HANDLE h = CreateFileW(path.wstring().c_str(), GENERIC_READ | GENERIC_WRITE, share, nullptr,
                               OPEN_EXISTING, 0, nullptr);
        const DWORD error = h == INVALID_HANDLE_VALUE ? GetLastError() : 0;
        if (h != INVALID_HANDLE_VALUE) {
            CloseHandle(h);
        }
        return error;
    };
    {
        auto disk = open();
        ASSERT_TRUE(disk);
        EXPECT_EQ(second(FILE_SHARE_READ | FILE_SHARE_WRITE), 0u);
        EXPECT_EQ(second(FILE_SHARE_READ), DWORD{ERROR_SHARING_VIOLATION});
    }
    std::unique_ptr<VolumeHandle> volume;
    ASSERT_TRUE(disks->open_volume_path(path.u16string().c_str(), &volume).ok());
    EXPECT_EQ(second(FILE_SHARE_READ | FILE_SHARE_WRITE), 0u);
    EXPECT_EQ(second(FILE_SHARE_READ), DWORD{ERROR_SHARING_VIOLATION});
}
#endif

TEST_F(RawDiskFile, GuidsAreFreshVersion4) {
    Guid a, b;
    ASSERT_TRUE(disks->make_guid(&a).ok());
    ASSERT_TRUE(disks->make_guid(&b).ok());
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
        gpt.style = LayoutStyle::gpt;
        gpt.gpt_disk_id.bytes[0] = 0x77;
        gpt.max_partition_count = 128;
        ASSERT_TRUE(disk->create_disk(gpt).ok());
        EXPECT_EQ(read(sector_size, 8),
                  std::vector<uint8_t>({'E', 'F', 'I', ' ', 'P', 'A', 'R', 'T'}));
        EXPECT_EQ(read(last * sector_size, 8), read(sector_size, 8));
        // The backup entry array sits right below the backup header, equal to the primary one.
        const uint64_t array_lba = last - 16384 / sector_size;
        EXPECT_EQ(read(array_lba * sector_size, 16384), read(2 * sector_size, 16384));
        EXPECT_EQ(load_u64(read(last * sector_size + 72, 8).data()), array_lba);
        EXPECT_EQ(read(510, 2), std::vector<uint8_t>({0x55, 0xAA}));
        EXPECT_EQ(read(0x1BE + 4, 1)[0], 0xEE);

        DriveLayoutRecord layout;
        layout.style = LayoutStyle::mbr;
        layout.count = 4;
        PartitionRecord p;
        p.starting_offset = 1024 * 1024;
        p.length = 32 * 1024 * 1024;
        p.mbr_type = 0x07;
        layout.entries.push_back(p);
        std::vector<uint8_t> bytes(624);
        encode_drive_layout(layout, bytes.data(), 624);
        ASSERT_TRUE(disk->create_disk(CreateDiskRecord{}).ok());
        ASSERT_TRUE(disk->set_drive_layout(bytes.data(), 624).ok());
        ASSERT_TRUE(disk->update_properties().ok());
        const std::vector<uint8_t> entry = read(0x1BE, 16);
        EXPECT_EQ(entry[4], 0x07);
        EXPECT_EQ(load_u32(&entry[8]), 1024u * 1024 / sector_size);
        EXPECT_EQ(load_u32(&entry[12]), 32u * 1024 * 1024 / sector_size);
        // Going back to MBR leaves no backup GPT behind.
        EXPECT_EQ(read(last * sector_size, 8), std::vector<uint8_t>(8, 0));
        disk.reset();
    }
}

// Pipes and character devices are refused by type without blocking; an image held by one run
// is refused to a second; a name that is not UTF-8 reaches the file system as it is.
TEST_F(RawDiskFile, PosixRefusalsAndPathBytes) {
    const std::string fifo = path.string() + ".fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    TargetInfo info;
    std::unique_ptr<DiskDevice> device;
    for (const std::string& name : {fifo, std::string("/dev/null")}) {
        const std::u16string wide = path_to_utf16(name);
        EXPECT_FALSE(disks->query_target(wide.c_str(), &info).ok()) << name;
        const Outcome opened = disks->open_disk(wide.c_str(), 512, DiskUse::volume, &device);
        EXPECT_NE(opened.reason.find("it is a"), std::string::npos) << opened.reason;
    }

    auto first = open();
    ASSERT_TRUE(first);
    const Outcome second =
        disks->open_disk(path.u16string().c_str(), 512, DiskUse::whole_disk, &device);
    EXPECT_NE(second.reason.find("holds it locked"), std::string::npos) << second.reason;
    first.reset();

    const std::string latin1 = path.string() + ".caf\xe9";
    std::ofstream(latin1, std::ios::binary) << "x";
    const std::u16string wide = path_to_utf16(latin1);
    ASSERT_TRUE(disks->open_disk(wide.c_str(), 512, DiskUse::volume, &device).ok());
    const uint8_t byte = 'y';
    ASSERT_TRUE(device->write_at(0, &byte, 1).ok());
    device.reset();
    std::ifstream in(latin1, std::ios::binary);
    EXPECT_EQ(in.get(), 'y');
}
#endif

}  // namespace

}  // namespace lintora
