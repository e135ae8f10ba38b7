#include "tools/json_text.h"

#include <gtest/gtest.h>

namespace lintora {

namespace {

TEST(JsonString, EscapesWhatJsonMustAndKeepsPathBytesLossless) {
    struct Case {
        std::u16string text;
        std::string json;
    };
    const Case cases[] = {
        {u"plain", "\"plain\""},
        {u"a\"b\\c", "\"a\\\"b\\\\c\""},
        {u"tab\tbell\a", "\"tab\\u0009bell\\u0007\""},
        {u"(E:) ディスク", "\"(E:) \xE3\x83\x87\xE3\x82\xA3\xE3\x82\xB9\xE3\x82\xAF\""},
        {u"\U0001F4BE", "\"\xF0\x9F\x92\xBE\""},
        {std::u16string(u"/dev/x") + char16_t{0xDCFF}, "\"/dev/x\\udcff\""},
        {std::u16string(1, char16_t{0xD800}), "\"\\ud800\""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(json_string(c.text), c.json);
    }
}

}  // namespace

}  // namespace lintora
