// The number conversions against the C library they stand in for.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "numbers.hpp"

namespace {

std::string fixed(double v, int prec) {
    char buf[wes::vcf::fixed_text_max];
    return std::string(buf, wes::vcf::format_fixed(v, prec, buf));
}

std::string printf_fixed(double v, int prec) {
    char buf[512];
    std::snprintf(buf, sizeof buf, "%.*f", prec, v);
    return buf;
}

}  // namespace

TEST(VcfNumbers, FixedFormatIsPrintfs) {
    const double edges[] = {0.0, 0.5, 1.5, 2.5, 0.03125, 0.00005, 0.00015, 1e-300, 5e-324, 123456789.98765,
                              999999999999999.9, 1e15, 3.4028234663852886e38, -0.0, -1.25,
                              std::numeric_limits<double>::infinity(), std::nan("")};
    for (double v : edges)
        for (int prec = 0; prec <= 4; ++prec) EXPECT_EQ(fixed(v, prec), printf_fixed(v, prec)) << v;

    // Every kind of float the table can hold: random bit patterns over the whole range,
    // and small ratios such as depths and fractions.
    std::mt19937 rng(7);
    for (int i = 0; i < 200000; ++i) {
        std::uint32_t bits = rng();
        float f;
        std::memcpy(&f, &bits, sizeof f);
        if (i % 2) f = static_cast<float>(rng() % 5000) / static_cast<float>(1 + rng() % 3000);
        for (int prec : {0, 4}) {
            std::string got = fixed(static_cast<double>(f), prec);
            std::string want = printf_fixed(static_cast<double>(f), prec);
            if (got != want) {
                ADD_FAILURE() << "float bits " << bits << " prec " << prec << ": " << got << " vs " << want;
                return;
            }
        }
    }
}

TEST(VcfNumbers, SinglePrecisionFractionTexts) {
    float zero = 0, five = 5, three = 3, dp = 160;
    EXPECT_EQ(fixed(static_cast<double>(three / dp), 4), "0.0188");
    EXPECT_EQ(fixed(static_cast<double>(zero / zero), 4), printf_fixed(static_cast<double>(zero / zero), 4));
    EXPECT_EQ(fixed(static_cast<double>(five / zero), 4), "inf");
}

TEST(VcfNumbers, LeadingFloatIsScanfs) {
    const char* texts[] = {"60.00", "60", "60.", ".5", "0", "007.250", "1.2.3", "3\\4", "12,5",
                           "0.000000000000000000000000000000000000000000001",
                           "340282356779733661637539395458142568448", "999999999999999999999999999999999999999999",
                           "1.00000005960464477539062500000000000001", "16777217", "0.1"};
    for (const char* t : texts) {
        float want = -1, got = -1;
        ASSERT_EQ(std::sscanf(t, "%f", &want), 1) << t;
        ASSERT_TRUE(wes::vcf::parse_leading_float(t, got)) << t;
        EXPECT_EQ(std::memcmp(&want, &got, sizeof got), 0) << t << ": " << want << " vs " << got;
    }
    // Random texts of the characters the MQ and AD groups hold.
    std::mt19937 rng(11);
    const char alphabet[] = "0123456789.\\,";
    for (int i = 0; i < 100000; ++i) {
        std::string t;
        int len = 1 + static_cast<int>(rng() % 14);
        for (int k = 0; k < len; ++k) t += alphabet[rng() % (i % 3 ? 11 : 13)];
        float want = -1, got = -1;
        bool scanned = std::sscanf(t.c_str(), "%f", &want) == 1;
        bool parsed = wes::vcf::parse_leading_float(t, got);
        ASSERT_EQ(scanned, parsed) << t;
        if (parsed) {
            ASSERT_EQ(std::memcmp(&want, &got, sizeof got), 0) << t << ": " << want << " vs " << got;
        }
    }
    float v = 42;
    for (const char* t : {".", "", "\\", ".\\5", ",5"}) {
        EXPECT_FALSE(wes::vcf::parse_leading_float(t, v)) << t;
        EXPECT_EQ(v, 42) << t;
    }
}

TEST(VcfNumbers, LeadingIntFitsIn32Bits) {
    std::int32_t v = 0;
    EXPECT_TRUE(wes::vcf::parse_leading_int("1000", v));
    EXPECT_EQ(v, 1000);
    EXPECT_TRUE(wes::vcf::parse_leading_int("12abc", v));
    EXPECT_EQ(v, 12);
    EXPECT_TRUE(wes::vcf::parse_leading_int("-7", v));
    EXPECT_EQ(v, -7);
    EXPECT_TRUE(wes::vcf::parse_leading_int("+2147483647", v));
    EXPECT_EQ(v, 2147483647);
    EXPECT_TRUE(wes::vcf::parse_leading_int("-2147483648", v));
    EXPECT_EQ(v, INT32_MIN);
    EXPECT_TRUE(wes::vcf::parse_leading_int("0000000000000000000000000000042", v));
    EXPECT_EQ(v, 42);
    v = 5;
    for (const char* t : {".", "", "abc", "-", "+-1", "2147483648", "-2147483649", "99999999999999999999999"}) {
        EXPECT_FALSE(wes::vcf::parse_leading_int(t, v)) << t;
        EXPECT_EQ(v, 5) << t;
    }
}
