#include <gtest/gtest.h>

#include "out_file.hpp"
#include "test_util.hpp"

TEST(OutFile, WritesLargeOutputWhole) {
    {
        wes::test::ScratchDir dir;
        wes::OutFile f;
        ASSERT_TRUE(f.open(dir.path("o.txt")));
        std::string big(3'000'000, 'y');
        std::string want = "head\t-42\n" + big;
        f.write("head\t");
        f.put_int(-42);
        f.put('\n');
        f.write(big);
        for (int i = 0; i < 200000; ++i) {
            f.put_int(i);
            f.put('\n');
            want += std::to_string(i) + "\n";
        }
        ASSERT_TRUE(f.close());
        EXPECT_EQ(wes::test::read_file(dir.path("o.txt")), want);
    }
}

TEST(OutFile, FullDiskIsReportedNotSwallowed) {
    {
        wes::OutFile f;
        ASSERT_TRUE(f.open("/dev/full"));
        f.write("x\n");
        for (int i = 0; i < 100000 && !f.failed(); ++i) f.write("more text\n");
        EXPECT_FALSE(f.close());
        EXPECT_TRUE(f.failed());
        EXPECT_FALSE(f.error().empty());
    }
}

TEST(OutFile, OpenFailure) {
    wes::OutFile f;
    EXPECT_FALSE(f.open("/nonexistent/dir/o.txt"));
}
