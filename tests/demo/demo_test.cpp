// Checks of the demo run (Demo.pipeline, which runs demo/run into WES_DEMO_OUT first):
// its counts against what the sample-data generator worked out on its own
// (demo/data/expected.txt), every annotator's values against a plain look-up in its
// database, and the conversion step against the suite's accession table.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "test_util.hpp"

namespace {

using wes::test::read_file;
using Fields = std::vector<std::string>;

const std::string out_dir = WES_DEMO_OUT;
const std::string data_dir = std::string(WES_SOURCE_DIR) + "/demo/data";
const std::string sample = out_dir + "/DEMO01";

std::vector<std::string> lines_of(const std::string& path) {
    std::vector<std::string> lines;
    std::istringstream in(read_file(path));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

Fields split(const std::string& line, char sep) {
    Fields f;
    std::size_t at = 0;
    for (;;) {
        std::size_t end = line.find(sep, at);
        f.push_back(line.substr(at, end - at));
        if (end == std::string::npos) return f;
        at = end + 1;
    }
}

// Fields separated by runs of white space, as the annotators read them.
Fields words(const std::string& line) {
    Fields f;
    std::istringstream in(line);
    for (std::string w; in >> w;) f.push_back(w);
    return f;
}

std::map<std::string, std::string> key_values(const std::string& path) {
    std::map<std::string, std::string> kv;
    for (const std::string& line : lines_of(path)) {
        std::size_t eq = line.find('=');
        if (eq != std::string::npos) kv[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return kv;
}

std::string key(const std::string& chr, const std::string& pos, const std::string& ref, const std::string& alt) {
    return chr + "-" + pos + "-" + ref + "-" + alt;
}

// A database as key => value, the first record of a key winning as in the merge.
template <typename KeyOf, typename ValueOf>
std::map<std::string, std::string> database(const std::string& name, bool has_header, KeyOf key_of,
                                            ValueOf value_of) {
    std::map<std::string, std::string> db;
    std::vector<std::string> lines = lines_of(data_dir + "/" + name);
    for (std::size_t i = has_header ? 1 : 0; i < lines.size(); ++i) {
        Fields f = words(lines[i]);
        db.emplace(key_of(f), value_of(f));
    }
    return db;
}

// Rows of an output table after its header, split at white space.
std::vector<Fields> rows_of(const std::string& path) {
    std::vector<Fields> rows;
    std::vector<std::string> lines = lines_of(path);
    for (std::size_t i = 1; i < lines.size(); ++i) rows.push_back(words(lines[i]));
    return rows;
}

class DemoRun : public ::testing::Test {
protected:
    void SetUp() override {
        if (!wes::test::file_exists(out_dir + "/summary.txt"))
            GTEST_FAIL() << "no demo run in " << out_dir << " (the Demo.pipeline test makes it)";
    }
};

TEST_F(DemoRun, CountsAreWhatTheGeneratorWorkedOut) {
    auto got = key_values(out_dir + "/summary.txt");
    auto want = key_values(data_dir + "/expected.txt");
    int compared = 0;
    for (const auto& [k, v] : want) {
        if (!got.count(k)) continue;
        EXPECT_EQ(got[k], v) << k;
        ++compared;
    }
    EXPECT_GE(compared, 14);
    // The summary gives Q20 and Q30 as fractions of Q_tot with six decimals.
    double q_tot = std::atof(got["qc.Q_tot"].c_str());
    EXPECT_EQ(std::lround(std::atof(got["qc.Q_20"].c_str()) * q_tot), std::atol(want["qc.Q20_bases"].c_str()));
    EXPECT_EQ(std::lround(std::atof(got["qc.Q_30"].c_str()) * q_tot), std::atol(want["qc.Q30_bases"].c_str()));
    EXPECT_EQ(got["qc.Q_tot"], want["qc.base_number"]);
    long tiers = 0;
    for (const char* t : {"tier.Tier1", "tier.Tier2", "tier.Tier3", "tier.Tier4"}) tiers += std::atol(got[t].c_str());
    EXPECT_EQ(std::to_string(tiers), got["sorted.rows"]);
}

TEST_F(DemoRun, QcPageAndMultiqcFilesShowTheSample) {
    // A 2x150 page stays well under 100 KB and carries its six plots; the MultiQC
    // general statistics are the summary's fractions as percentages.
    std::string page = read_file(sample + ".qc.html");
    EXPECT_LT(page.size(), 100u * 1024);
    EXPECT_NE(page.find("<title>Read QC: DEMO01</title>"), std::string::npos);
    std::size_t charts = 0;
    for (std::size_t at = 0; (at = page.find("<svg class=\"chart\"", at)) != std::string::npos; ++at) ++charts;
    EXPECT_EQ(charts, 6u);
    auto got = key_values(out_dir + "/summary.txt");
    std::string general = read_file(sample + ".qc_mqc.json");
    EXPECT_NE(general.find("\"DEMO01\": {\"bases\": " + got["qc.base_number"] + ", "), std::string::npos) << general;
    std::size_t q30 = general.find("\"q30_pct\": ", general.find("\"data\""));
    ASSERT_NE(q30, std::string::npos);
    EXPECT_NEAR(std::atof(general.c_str() + q30 + 11), std::atof(got["qc.Q_30"].c_str()) * 100, 0.005);
}

TEST_F(DemoRun, ProgramsSaidNothingUnexpected) {
    // Standard output and error of every step are in the log: only the step lines, the
    // annotators' END and the scripts' one-line reports belong there (no order warning).
    for (const std::string& line : lines_of(out_dir + "/run.log")) {
        bool known = line.rfind("== ", 0) == 0 || line == "END" || line.rfind("Tessaro: ", 0) == 0 ||
                     line.rfind("origin_label: ", 0) == 0 || line.rfind("tier_sort: ", 0) == 0;
        EXPECT_TRUE(known) << line;
    }
}

TEST_F(DemoRun, ConversionNamesByAccessionAndSorts) {
    // A header, accessions only, sorted byte-wise then numerically, and the
    // mitochondrial row set aside.
    std::vector<Fields> rows = rows_of(sample + ".sorted.txt");
    ASSERT_FALSE(rows.empty());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        ASSERT_EQ(rows[i].size(), 8u);
        EXPECT_EQ(rows[i][0].rfind("NC_0000", 0), 0u) << rows[i][0];
        if (i == 0) continue;
        const Fields& a = rows[i - 1];
        const Fields& b = rows[i];
        bool ordered = a[0] < b[0] || (a[0] == b[0] && std::atol(a[1].c_str()) <= std::atol(b[1].c_str()));
        EXPECT_TRUE(ordered) << "row " << i + 1;
    }
    std::vector<std::string> aside = lines_of(sample + ".no_accession.txt");
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(aside[0].rfind("chrM\t", 0), 0u);
}

TEST_F(DemoRun, AnnotatorValuesAreTheDatabasesValues) {
    auto k4 = [](int c, int p, int r, int a) {
        return [=](const Fields& f) { return key(f[c], f[p], f[r], f[a]); };
    };
    auto splice = database("splice_predict_database.txt", false, k4(0, 1, 2, 3),
                           [](const Fields& f) { return f[7]; });
    auto protein = database("protein_predict.txt", true, k4(0, 1, 3, 4), [](const Fields& f) {
        return f[5] + "|" + f[6] + "|" + f[7] + "|" + f[8];
    });
    auto score = database("score.sorted.txt", true, k4(0, 1, 3, 4), [](const Fields& f) { return f[5]; });
    // population frequencies: indels keyed in the rows' "-" form
    auto popfreq = database(
        "popfreq.tot.txt", true,
        [](const Fields& f) {
            long pos = std::atol(f[1].c_str());
            std::string ref = f[2], alt = f[3];
            if (ref.size() == 1 && alt.size() > 1) {
                ref = "-";
                alt.erase(0, 1);
            } else if (ref.size() > 1 && alt.size() == 1) {
                ref.erase(0, 1);
                alt = "-";
                ++pos;
            }
            return key(f[0], std::to_string(pos), ref, alt);
        },
        [](const Fields& f) { return f[10] + "|" + f[13]; });

    auto look_up = [](const std::map<std::string, std::string>& db, const std::string& k, const std::string& miss) {
        auto it = db.find(k);
        return it == db.end() ? miss : it->second;
    };

    std::vector<Fields> before = rows_of(sample + ".tessaro.txt");
    std::vector<Fields> after_pop = rows_of(sample + ".popfreq.txt");
    std::vector<Fields> after_splice = rows_of(sample + ".splice.txt");
    std::vector<Fields> after_protein = rows_of(sample + ".protein.txt");
    std::vector<Fields> scored = rows_of(sample + ".score.txt");
    ASSERT_EQ(after_pop.size(), before.size());
    ASSERT_EQ(after_splice.size(), before.size());
    ASSERT_EQ(after_protein.size(), before.size());
    ASSERT_EQ(scored.size(), before.size());
    for (std::size_t i = 0; i < before.size(); ++i) {
        const Fields& r = before[i];
        ASSERT_EQ(r.size(), 20u);
        std::string k = key(r[0], r[1], r[3], r[4]);
        Fields revised = r;
        revised[18] = look_up(popfreq, k, ".");
        EXPECT_EQ(after_pop[i], revised) << k;
        Fields spliced = revised;
        spliced.push_back(look_up(splice, k, "NA"));
        EXPECT_EQ(after_splice[i], spliced) << k;
        Fields predicted = spliced;
        predicted.push_back(look_up(protein, k, "NA|NA_NA|NA|NA"));
        EXPECT_EQ(after_protein[i], predicted) << k;
        EXPECT_EQ(scored[i], (Fields{r[0], r[1], r[1], r[3], r[4], look_up(score, k, "NA")})) << k;
    }
}

TEST_F(DemoRun, RepeatMarksAreTheLargestCountOfTheOverlappingInterval) {
    struct Interval {
        std::string chr;
        long start, end;
        std::string text;
    };
    std::vector<Interval> ssr;
    for (const std::string& line : lines_of(data_dir + "/ssr.bed")) {
        Fields f = words(line);
        ssr.push_back({f[0], std::atol(f[1].c_str()), std::atol(f[2].c_str()), f[5]});
    }
    std::vector<Fields> in = rows_of(sample + ".protein.txt");
    std::vector<Fields> out = rows_of(sample + ".ssr.txt");
    ASSERT_EQ(out.size(), in.size());
    int marked = 0;
    for (std::size_t i = 0; i < in.size(); ++i) {
        long start = std::atol(in[i][1].c_str()), end = std::atol(in[i][2].c_str());
        std::string mark = "N=0";
        for (const Interval& s : ssr) {
            if (s.chr != in[i][0] || s.end < start || end < s.start) continue;
            long big = 0;  // the counts follow the closing parentheses: (CA)12(AC)3
            for (std::size_t p = s.text.find(')'); p != std::string::npos; p = s.text.find(')', p + 1))
                big = std::max(big, std::atol(s.text.c_str() + p + 1));
            mark = "Y=" + std::to_string(big);
            ++marked;
            break;
        }
        Fields want = in[i];
        want.push_back(mark);
        EXPECT_EQ(out[i], want) << "row " << i + 1;
    }
    EXPECT_GT(marked, 0);
}

TEST_F(DemoRun, FinalTableHoldsEveryRowOnceWithAllColumns) {
    std::vector<std::string> lines = lines_of(sample + ".tier.txt");
    ASSERT_FALSE(lines.empty());
    Fields header = split(lines[0], '\t');
    ASSERT_EQ(header.size(), 25u);
    EXPECT_EQ(header[18], "PopFreq");
    EXPECT_EQ(header[20], "splice_predict");
    EXPECT_EQ(header[21], "protein_predict");
    EXPECT_EQ(header[22], "ssr");
    EXPECT_EQ(header[23], "Origin");
    EXPECT_EQ(header[24], "Tier");
    std::vector<std::string> keys, sorted_keys;
    std::string last_tier;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        Fields f = split(lines[i], '\t');
        ASSERT_EQ(f.size(), 25u) << lines[i];
        EXPECT_GE(f[24], last_tier) << "tiers out of order at line " << i + 1;
        last_tier = f[24];
        keys.push_back(key(f[0], f[1], f[3], f[4]));
    }
    for (const Fields& r : rows_of(sample + ".sorted.txt")) sorted_keys.push_back(key(r[0], r[1], r[3], r[4]));
    std::sort(keys.begin(), keys.end());
    std::sort(sorted_keys.begin(), sorted_keys.end());
    EXPECT_EQ(keys, sorted_keys);
}

}  // namespace
