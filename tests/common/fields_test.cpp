#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "fields.hpp"

TEST(Fields, CursorSplitsAtAnyRunOfCSpace) {
    wes::FieldCursor c(" \tNC_000001.10  100\v5\f A\tG \r");
    EXPECT_EQ(c.next(), "NC_000001.10");
    std::int32_t pos = 0;
    EXPECT_TRUE(c.next_int(pos));
    EXPECT_EQ(pos, 100);
    EXPECT_EQ(c.next(), "5");
    EXPECT_EQ(c.rest(), "\f A\tG \r");
    EXPECT_EQ(c.next(), "A");
    EXPECT_EQ(c.next(), "G");
    EXPECT_EQ(c.next(), "");
    // next_is takes a whole first field only.
    EXPECT_TRUE(wes::FieldCursor("NC_000001.10\v5").next_is("NC_000001.10"));
    for (const char* line : {"NC_000001.1\t5", "NC_000001.100\t5", "NC_000001.10", " NC_000001.10 5"})
        EXPECT_FALSE(wes::FieldCursor(line).next_is("NC_000001.10")) << line;
    for (char c : std::string(" \t\n\v\f\r")) EXPECT_TRUE(wes::is_space(c));
    for (int c = 0; c < 256; ++c)
        EXPECT_EQ(wes::is_space(static_cast<char>(c)), std::isspace(c) != 0) << c;
    EXPECT_EQ(wes::first_word("  out.txt extra"), "out.txt");
    EXPECT_TRUE(wes::is_blank(" \t\r"));
    std::string_view rest = ",,12,,3,", piece;
    std::string got;
    while (wes::next_piece(rest, ',', piece)) got.append(piece).push_back('|');
    EXPECT_EQ(got, "12|3|");
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
    std::int64_t big = 0;
    EXPECT_TRUE(wes::parse_int("-0000000000000000000000009000000000", big));  // long, leading zeros
    EXPECT_EQ(big, -9000000000);
    for (const char* bad : {"", "12abc", "+", "-", "+-1", "1.5", " 1", "abc", "99999999999", "2147483648",
                            "+-000000000000000000001"}) {
        int w = 42;
        EXPECT_FALSE(wes::parse_int(bad, w)) << bad;
        EXPECT_EQ(w, 42);
    }
}
