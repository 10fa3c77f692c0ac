#include "settings/user_data_base.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Entry keys are built in place: "%03d" numbers, any field, and a key too
// long to hold reads as empty, which no map finds or takes.
TEST(UserDataKeys, EntryKeysAndOneTooLongToHold) {
    EXPECT_EQ(userdata::EntryKey("Course", 7, "szName").View(), u"Course007.szName");
    EXPECT_EQ(userdata::EntryKey("I", 1234, "X").View(), u"I1234.X");
    EXPECT_EQ(userdata::EntryKey("D", -5, "Y").View(), u"D-05.Y");
    EXPECT_EQ(std::u16string(userdata::EntryKey("D", 0, "").c_str()), u"D000.");

    const std::string fits(userdata::KeyText::kCapacity - 5, 'f');   // "P000." + field fills it
    const userdata::KeyText full = userdata::EntryKey("P", 0, fits);
    EXPECT_EQ(full.View().size(), userdata::KeyText::kCapacity);
    EXPECT_EQ(full.c_str()[userdata::KeyText::kCapacity], u'\0');

    userdata::KeyText spoiled = userdata::EntryKey("P", 0, fits + "g");
    EXPECT_EQ(spoiled.View(), u"");
    spoiled.Append("more");   // stays spoiled: a shorter tail never makes a wrong key
    EXPECT_EQ(spoiled.View(), u"");
    NvConfigMap map;
    EXPECT_EQ(map.SetInt(spoiled.c_str(), 1), 0);
    EXPECT_EQ(map.GetCount(), 0);
}

}  // namespace
