// How a letter box becomes a hotkey, and what "开启监控" registers.
#include <gtest/gtest.h>

#include <string>

#include "mainwindow/hotkey_slots.h"

namespace brenvik {
namespace {

struct KeyCase {
    const char* name;
    std::string letter;
    std::int32_t key;
};

class SlotKeyValueTest : public ::testing::TestWithParam<KeyCase> {};

TEST_P(SlotKeyValueTest, IsTheFirstByteAsASignedCodeMinus32)
{
    EXPECT_EQ(SlotKeyValue(GetParam().letter), GetParam().key);
}

// No case conversion anywhere: upper-case letters and digits name other keys.
INSTANTIATE_TEST_SUITE_P(Letters, SlotKeyValueTest,
                         ::testing::Values(KeyCase{"LowerA", "a", 0x41}, KeyCase{"LowerZ", "z", 0x5A},
                                           KeyCase{"UpperA_IsPageUp", "A", 0x21},
                                           KeyCase{"UpperP", "P", 0x30}, KeyCase{"Digit0", "0", 0x10},
                                           KeyCase{"Space", " ", 0}, KeyCase{"Empty", "", -32},
                                           KeyCase{"LeadByte", "\x81", -127 - 32},
                                           KeyCase{"HighestByte", "\xFF", -1 - 32},
                                           KeyCase{"OnlyTheFirstByteCounts", "ab", 0x41}),
                         [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace brenvik
