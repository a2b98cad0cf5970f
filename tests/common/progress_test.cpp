#include <gtest/gtest.h>

#include "progress.hpp"

TEST(Progress, LineText) {
    struct Case {
        wes::ProgressFigures f;
        std::size_t width;
        const char* want;
    } cases[] = {
        {{3 << 20, 10 << 20, 1234567, 40000.4, 7.6}, 200,
         "x: 3.0 MiB of 10.0 MiB (30%), 1,234,567 rows at 40,000/s, 0:08 left"},
        // A pipe: no size, share or time left.
        {{1536, 0, 999, 12, 5}, 200, "x: 1.5 KiB read, 999 rows at 12/s"},
        // A file read past the size it had when opened; hours; no rate yet.
        {{5ULL << 30, 4ULL << 30, 0, 0, 3 * 3600 + 61}, 200, "x: 5.0 GiB of 4.0 GiB (100%), 0 rows at 0/s, 3:01:01 left"},
        // Never wider than the terminal: a wrapped line could not be rewritten in place.
        {{100, 0, 1, 1, -1}, 12, "x: 100 B rea"},
    };
    for (const Case& c : cases) EXPECT_EQ(wes::progress_text("x", "rows", c.f, c.width), c.want);
}
