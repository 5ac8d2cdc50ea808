// The system's ANSI code page as Wine gives it: 936 under LC_ALL=zh_CN.UTF-8,
// a single-byte page otherwise, and the character rule and conversions of each.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/win32/desktop.h"

namespace brenvik::win32 {
namespace {

TEST(Win32CodePageTest, FollowsTheLocaleAndItsCharacterRule)
{
    Win32CodePage codePage;
    const char* locale = std::getenv("LC_ALL");
    if (locale != nullptr && std::string_view(locale).starts_with("zh_CN")) {
        EXPECT_EQ(codePage.id(), 936u);
    }

    if (codePage.id() == 936) {
        EXPECT_FALSE(codePage.isLeadByte(0x7F));
        EXPECT_TRUE(codePage.isLeadByte(0x80));
        EXPECT_TRUE(codePage.isLeadByte(0xB2));
        EXPECT_TRUE(codePage.isLeadByte(0xFF));
        // "测试" in GBK: two characters of two bytes each.
        EXPECT_EQ(codePage.fromUtf8("测试"), "\xB2\xE2\xCA\xD4");
        EXPECT_EQ(codePage.toUtf8("\xB2\xE2\xCA\xD4"), "测试");
        // A lead byte without its second byte cannot be mapped.
        EXPECT_EQ(codePage.toUtf8("a\xB2"), "a\xEF\xBF\xBD");
    } else if (codePage.id() == 1252) {
        for (int byte = 0; byte < 256; ++byte)
            EXPECT_FALSE(codePage.isLeadByte(static_cast<unsigned char>(byte))) << byte;
        EXPECT_EQ(codePage.fromUtf8("Café"), "Caf\xE9");
        EXPECT_EQ(codePage.toUtf8("Caf\xE9"), "Café");
    } else {
        GTEST_SKIP() << "no expectations for code page " << codePage.id();
    }
    // A character the code page lacks becomes '?', never a look-alike.
    EXPECT_EQ(codePage.fromUtf8("a\u0634b"), "a?b");
}

}  // namespace
}  // namespace brenvik::win32
