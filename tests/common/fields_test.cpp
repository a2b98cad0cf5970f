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

TEST(Fields, NextIntReadsAsParseIntDoes) {
    // Digit runs of every length around the eight-byte step, with signs, separators and
    // other bytes at every place: next_int must agree with parse_int on the first field.
    std::uint64_t s = 88172645463325252ULL;
    const char bytes[] = "0123456789+- \t\vx.";
    for (int it = 0; it < 200000; ++it) {
        std::string text;
        s ^= s << 13, s ^= s >> 7, s ^= s << 17;
        for (int i = 0, len = static_cast<int>(s % 24); i < len; ++i) {
            std::uint64_t r = (s >> (2 * i)) & 0xff;
            text += r % 4 ? static_cast<char>('0' + r % 10) : bytes[r % 17];
        }
        std::int32_t a = 7, b = 7;
        std::int64_t a64 = 7, b64 = 7;
        wes::FieldCursor c(text), c64(text);
        std::string_view f = wes::first_word(text);
        EXPECT_EQ(c.next_int(a), !f.empty() && wes::parse_int(f, b)) << text;
        EXPECT_EQ(a, b) << text;
        EXPECT_EQ(c.last(), f) << text;
        EXPECT_EQ(c64.next_int(a64), !f.empty() && wes::parse_int(f, b64)) << text;
        EXPECT_EQ(a64, b64) << text;
    }
}
