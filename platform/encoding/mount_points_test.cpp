#include "platform/encoding/mount_points.h"

#include <gtest/gtest.h>

#include <string>

namespace lintora {

namespace {

uint32_t letters_of(const std::u16string& list) {
    return drive_letters_of_mount_points(list.data(), list.size());
}

// Only a drive's root names a letter: a folder mount on E: is not E:, an empty list names none,
// and every root in a list of several counts, whatever the case of its letter.
TEST(MountPoints, OnlyADrivesRootNamesItsLetter) {
    EXPECT_EQ(letters_of(std::u16string(u"E:\\\0", 4)), 1u << 4);
    EXPECT_EQ(letters_of(std::u16string(u"E:\\sub\\\0", 8)), 0u);
    EXPECT_EQ(letters_of(std::u16string(u"\0", 1)), 0u);
    EXPECT_EQ(letters_of(std::u16string()), 0u);
    EXPECT_EQ(letters_of(std::u16string(u"F:\\data\\\0e:\\\0Z:\\\0C:\\mnt\\e\\\0\0", 28)),
              (1u << 4) | (1u << 25));
    EXPECT_EQ(letters_of(std::u16string(u"E:\0E:x\0:\\\\\0", 11)), 0u);
    // A list cut short by its length ends there.
    EXPECT_EQ(letters_of(std::u16string(u"G:\\", 3)), 1u << 6);
    EXPECT_EQ(letters_of(std::u16string(u"G:", 2)), 0u);
}

}  // namespace

}  // namespace lintora
