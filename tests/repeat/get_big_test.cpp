#include <climits>
#include <gtest/gtest.h>

#include "get_big.hpp"

TEST(RepeatGetBig, TakesTheLargestOfTheFirstFiveNumbers) {
    EXPECT_EQ(wes::get_big("(AT)6"), 6);
    EXPECT_EQ(wes::get_big("(CAG)8/(CA)11"), 11);
    EXPECT_EQ(wes::get_big("(CA)11/(CAG)8"), 11);
    EXPECT_EQ(wes::get_big("a1b2c3d4e5f6"), 5);     // the sixth number is never read
    EXPECT_EQ(wes::get_big("a9b2c3d4e5f60"), 9);
    EXPECT_EQ(wes::get_big("(T)007"), 7);
}

TEST(RepeatGetBig, ScanStopsWhereNoNonDigitPrecedesANumber) {
    EXPECT_EQ(wes::get_big("12"), 0);        // begins with a digit: no number at all
    EXPECT_EQ(wes::get_big("12(AT)40"), 0);  // and nothing after it is looked at
    EXPECT_EQ(wes::get_big(""), 0);
    EXPECT_EQ(wes::get_big("(AT)"), 0);
    EXPECT_EQ(wes::get_big("none"), 0);
}

TEST(RepeatGetBig, SignsAreSkippedAsNonDigits) {
    EXPECT_EQ(wes::get_big("x-7"), 7);
    EXPECT_EQ(wes::get_big("x-7/y+3"), 7);
    EXPECT_EQ(wes::get_big("-"), 0);
}

TEST(RepeatGetBig, HugeCountsSaturateInsteadOfWrapping) {
    EXPECT_EQ(wes::get_big("(A)99999999999999999999999"), INT_MAX);
    EXPECT_EQ(wes::get_big("(A)2147483647"), INT_MAX);
    EXPECT_EQ(wes::get_big("(A)2147483646"), INT_MAX - 1);
}
