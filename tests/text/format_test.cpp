#include "text/format.h"

#include <gtest/gtest.h>
#include <string>

TEST(FormatTest, PrintsAsLongAsTheTextNeeds) {
    const std::string name(300, 'x');
    EXPECT_EQ("[" + name + "] 7 -3", format("[%s] %d %ld", name, 7, -3L));
    EXPECT_EQ("a.wav (2)", format("%s (%d)", "a.wav", 2));
    EXPECT_EQ("", format(""));
}
