#include "platform/encoding/utf.h"

#include <gtest/gtest.h>

namespace lintora {

namespace {

TEST(Utf, StrictConversionsRefuseWhatWouldBeRewritten) {
    EXPECT_EQ(utf8_to_utf16("MAROVAN EXT"), u"MAROVAN EXT");
    EXPECT_EQ(utf8_to_utf16("\xe3\x83\x87\xe3\x82\xa3\xe3\x82\xb9\xe3\x82\xaf"), u"ディスク");
    EXPECT_EQ(utf8_to_utf16("\xf0\x9f\x92\xbe"), u"\U0001F4BE");
    for (const char* bad : {"good\xc0\x80.bak",  // overlong NUL
                            "a\xc0\xaf"
                            "b",  // overlong '/'
                            "a\xe0\x80\xaf"
                            "b",                    // overlong '/' in three bytes
                            "\xe0\x82\x80",         // overlong U+0080 in three bytes
                            "\xf0\x80\x80\xaf",     // overlong '/' in four bytes
                            "\xed\xa0\x80",         // an encoded surrogate
                            "caf\xe9",              // Latin-1
                            "\xe3\x83",             // truncated
                            "\xf4\x90\x80\x80"}) {  // above U+10FFFF
        EXPECT_FALSE(utf8_to_utf16(bad)) << bad;
    }
    EXPECT_EQ(utf16_to_utf8(u"ディスク"), "\xe3\x83\x87\xe3\x82\xa3\xe3\x82\xb9\xe3\x82\xaf");
    EXPECT_FALSE(utf16_to_utf8(std::u16string(1, u'\xD800')));
    EXPECT_EQ(utf16_for_display(std::u16string(u"a") + char16_t(0xDC00)), "a\xef\xbf\xbd");
}

TEST(Utf, AnyPathBytesComeBackUnchanged) {
    for (const std::string& bytes :
         {std::string("/dev/sdb"), std::string("good.img\xc0\x80.bak"),
          std::string("a\xc0\xaf"
                      "b"),
          std::string("caf\xe9.img"), std::string("\xe3\x83\x87\xe3\x82\xa3"),
          std::string("\xed\xb2\x80"), std::string("\xff\xfe")}) {
        const std::u16string wide = path_to_utf16(bytes);
        EXPECT_EQ(path_from_utf16(wide), bytes);
    }
    // UTF-16 that no byte string gives is refused rather than guessed.
    EXPECT_FALSE(path_from_utf16(std::u16string(1, u'\xD800')));
    EXPECT_FALSE(path_from_utf16(u"\xDCC3\xDCA9"));  // would come back as "é"
}

}  // namespace

}  // namespace lintora
