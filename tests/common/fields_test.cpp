#include <gtest/gtest.h>

#include "fields.hpp"

TEST(Fields, SplitsAtAnyRunOfCSpace) {
    std::string_view f[8];
    std::string_view line = " \tNC_000001.10  100\v5\f A\tG \r";
    ASSERT_EQ(wes::split_fields(line, f, 8), 5u);
    EXPECT_EQ(f[0], "NC_000001.10");
    EXPECT_EQ(f[1], "100");
    EXPECT_EQ(f[2], "5");
    EXPECT_EQ(f[3], "A");
    EXPECT_EQ(f[4], "G");
    EXPECT_EQ(wes::split_fields("a b c", f, 2), 2u);
    EXPECT_EQ(wes::split_fields(" \t\r", f, 8), 0u);
    EXPECT_EQ(wes::count_fields(" a\tb  c\r"), 3u);
    EXPECT_EQ(wes::first_word("  out.txt extra"), "out.txt");
}

TEST(Fields, IntegersMustBeWhole) {
    int v = 7;
    EXPECT_TRUE(wes::parse_int("123", v));
    EXPECT_EQ(v, 123);
    EXPECT_TRUE(wes::parse_int("+12", v));
    EXPECT_EQ(v, 12);
    EXPECT_TRUE(wes::parse_int("-5", v));
    EXPECT_EQ(v, -5);
    EXPECT_TRUE(wes::parse_int("007", v));
    EXPECT_EQ(v, 7);
    for (const char* bad : {"", "12abc", "+", "-", "+-1", "1.5", " 1", "abc", "99999999999"}) {
        int w = 42;
        EXPECT_FALSE(wes::parse_int(bad, w)) << bad;
        EXPECT_EQ(w, 42);
    }
}
