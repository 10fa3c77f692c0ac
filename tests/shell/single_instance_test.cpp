// One program per runtime folder: a second start finds the lock taken,
// asks the first to come to the front and ends; the lock goes with its
// holder.
#include "shell/single_instance.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace {

TEST(SingleInstanceTest, SecondStartAsksTheFirstToComeToTheFront) {
    testsupport::TempDir dir;
    const std::string folder = dir.File("run");
    auto first = std::make_unique<SingleInstance>();
    ASSERT_EQ(first->Acquire(folder, nullptr), SingleInstance::Result::kFirst);
    EXPECT_FALSE(first->TakeRaiseRequest());
    {
        SingleInstance second;
        EXPECT_EQ(second.Acquire(folder, nullptr), SingleInstance::Result::kSecond);
    }
    EXPECT_TRUE(first->TakeRaiseRequest());
    EXPECT_FALSE(first->TakeRaiseRequest());
    first.reset();
    SingleInstance third;
    EXPECT_EQ(third.Acquire(folder, nullptr), SingleInstance::Result::kFirst);
}

}  // namespace
