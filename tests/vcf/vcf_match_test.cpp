// The hand-made matcher against glibc's regexec with the expression itself: on a large
// generated corpus of VCF lines and their nasty variants, and on every test input line.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <regex.h>
#include <string>
#include <vector>

#include "test_util.hpp"
#include "vcf_match.hpp"

namespace {

using wes::vcf::LineFields;
using wes::vcf::match_vcf_line;

class Expression {
public:
    Expression() {
        std::string msg;
        ok_ = wes::vcf::compile_expression(wes::vcf::vcf_expression, re_, msg);
    }
    ~Expression() {
        if (ok_) regfree(&re_);
    }
    bool ok() const { return ok_; }
    // Matches line as a C string; groups as offsets into line.
    bool match(const std::string& line, std::vector<std::pair<long, long>>& groups) const {
        regmatch_t m[100];
        if (regexec(&re_, line.c_str(), 100, m, 0) != 0) return false;
        groups.clear();
        for (int g = 1; g <= 8; ++g) groups.emplace_back(m[g].rm_so, m[g].rm_eo);
        EXPECT_EQ(m[9].rm_so, -1);
        return true;
    }

private:
    regex_t re_;
    bool ok_ = false;
};

// Compares the two on line; returns false (with a failure) when they differ.
bool same_as_expression(const Expression& ex, const std::string& line) {
    std::vector<std::pair<long, long>> want;
    bool want_match = ex.match(line, want);
    LineFields f;
    bool got_match = match_vcf_line(line, f);
    if (want_match != got_match) {
        ADD_FAILURE() << "expression " << (want_match ? "matches" : "does not match") << " line: [" << line << "]";
        return false;
    }
    if (!got_match) return true;
    for (int g = 0; g < 8; ++g) {
        long so = f.group[g].data() - line.data();
        long eo = so + static_cast<long>(f.group[g].size());
        if (so != want[g].first || eo != want[g].second) {
            ADD_FAILURE() << "group " << g + 1 << " is [" << f.group[g] << "], expression gives ["
                          << line.substr(want[g].first, want[g].second - want[g].first) << "] in line: [" << line
                          << "]";
            return false;
        }
    }
    return true;
}

// Generated VCF-like lines: a well-formed GATK line, then a few random edits drawn from
// the ways real and broken files differ.
class LineMaker {
public:
    explicit LineMaker(std::uint64_t seed) : rng_(seed) {}

    std::string make() {
        std::string line = gatk_line();
        int edits = pick(4);
        for (int i = 0; i < edits; ++i) edit(line);
        return line;
    }

private:
    int pick(int n) { return static_cast<int>(rng_() % static_cast<std::uint64_t>(n)); }
    std::string num(int hi) { return std::to_string(pick(hi)); }
    std::string bases(int max_len) {
        static const char b[] = "ACGTN";
        std::string s;
        int n = 1 + pick(max_len);
        for (int i = 0; i < n; ++i) s += b[pick(5)];
        return s;
    }
    std::string mq() {
        switch (pick(6)) {
            case 0: return ".";
            case 1: return num(70);
            case 2: return "6\\0.00";
            default: return num(70) + "." + std::to_string(10 + pick(90));
        }
    }
    std::string info() {
        std::vector<std::string> e = {"AC=1", "AF=0.500", "AN=2", "DP=" + num(300), "FS=0.000",
                                      "MQ=" + mq(), "MQRankSum=-0.5", "QD=" + num(40), "SOR=0.693"};
        switch (pick(8)) {
            case 0: e.insert(e.begin(), "MQ=" + mq()); break;            // MQ first as well
            case 1: e.push_back("MQ=" + mq()); break;                    // MQ last as well
            case 2: e.push_back("RAW_MQ=" + num(9999) + ".00"); break;   // a later place that fits
            case 3: e.erase(e.begin() + 5); break;                       // no MQ at all
            case 4: e.insert(e.begin() + 2, "MQ=" + mq() + "x"); break;  // a place that does not fit
            default: break;
        }
        std::string s;
        for (std::size_t i = 0; i < e.size(); ++i) s += (i ? ";" : "") + e[i];
        return s;
    }
    std::string sample() {
        std::string gt = pick(8) == 0 ? "0|1" : pick(6) == 0 ? "./." : "0/1";
        std::string ad = num(50) + "," + num(50);
        if (pick(5) == 0) ad += "," + num(50);
        if (pick(10) == 0) ad = ".";
        std::string dp = pick(10) == 0 ? "." : num(200);
        std::string s = gt + ":" + ad + ":" + dp;
        if (pick(3) != 0) s += ":" + num(99) + ":" + num(255) + ",0," + num(255);
        return s;
    }
    std::string gatk_line() {
        std::string ref = bases(4);
        std::string alt = bases(4);
        if (pick(4) == 0) alt += "," + bases(3);
        std::string s = (pick(10) == 0 ? "chrUn_gl000" + num(999) : "chr" + num(23)) + "\t" + num(250000000) +
                        "\t" + (pick(2) ? "." : "rs" + num(99999999)) + "\t" + ref + "\t" + alt + "\t" + num(9999) +
                        ".77\t" + (pick(2) ? "PASS" : ".") + "\t" + info() + "\tGT:AD:DP:GQ:PL\t" + sample();
        int more = pick(3);
        for (int i = 0; i < more; ++i) s += "\t" + sample();
        return s;
    }
    void edit(std::string& s) {
        static const char interesting[] = "\t \t\t:,./\\;=MQ0123456789|\r\v\f\n\xa0\xff-x";
        std::size_t at = s.empty() ? 0 : static_cast<std::size_t>(pick(static_cast<int>(s.size())));
        switch (pick(10)) {
            case 0: if (!s.empty()) s[at] = interesting[pick(sizeof interesting - 1)]; break;
            case 1: s.insert(at, 1, interesting[pick(sizeof interesting - 1)]); break;
            case 2: if (!s.empty()) s.erase(at, 1); break;
            case 3: {  // a TAB becomes a blank
                std::size_t t = s.find('\t', at);
                if (t != std::string::npos) s[t] = ' ';
                break;
            }
            case 4: s = std::string(static_cast<std::size_t>(pick(3)), pick(2) ? ' ' : '\t') + s; break;
            case 5:  // a long line (the expression's matcher is slow on these, so few)
                if (pick(4) == 0) s.insert(at, std::string(static_cast<std::size_t>(400 + pick(300)), 'A'));
                break;
            case 6: {  // a column removed or doubled
                std::size_t t = s.find('\t', at);
                if (t == std::string::npos) break;
                std::size_t u = s.find('\t', t + 1);
                if (u == std::string::npos) u = s.size();
                if (pick(2)) s.erase(t, u - t);
                else s.insert(t, s.substr(t, u - t));
                break;
            }
            case 7: {  // DP made last in the first sample
                std::size_t t = s.rfind('\t');
                if (t != std::string::npos && pick(2)) s = s.substr(0, s.find(':', s.find(':', s.find(':', t) + 1) + 1));
                break;
            }
            case 8: s.insert(at, "chr1\t1\t.\tA\tG\t1\t.\tMQ=1;X=2\t"); break;  // a second start
            case 9: s.insert(at, "X;MQ=9;MQ=8.;"); break;
        }
        if (pick(50) == 0) s.insert(at < s.size() ? at : 0, 1, '\0');
    }

    std::mt19937_64 rng_;
};

}  // namespace

TEST(VcfMatch, ExpressionCompilesAndReportsFailure) {
    EXPECT_EQ(std::strlen(wes::vcf::vcf_expression), 106u);
    regex_t re;
    std::string msg;
    ASSERT_TRUE(wes::vcf::compile_expression(wes::vcf::vcf_expression, re, msg));
    regfree(&re);
    ASSERT_FALSE(wes::vcf::compile_expression("(\\S+", re, msg));
    EXPECT_EQ(msg.rfind("A\terr:", 0), 0u);
    EXPECT_GT(msg.size(), 7u);
    EXPECT_EQ(msg.back(), '\n');
}

TEST(VcfMatch, CapturesTheEightGroups) {
    LineFields f;
    std::string line =
        "chr1\t100\trs1\tCAT\tC,CA\t50\tPASS\tAC=1;MQ=60.00;RAW_MQ=3600.00;QD=2\tGT:AD:DP\t0/1:3,8,9:20:99\tx";
    ASSERT_TRUE(match_vcf_line(line, f));
    std::vector<std::string> want = {"chr1", "100", "rs1", "CAT", "C,CA", "3600.00", "3,8,9", "20"};
    for (int g = 0; g < 8; ++g) EXPECT_EQ(f.group[g], want[g]) << g;

    // DP ending the column loses its last character; leading white space is passed over.
    ASSERT_TRUE(match_vcf_line(" \tchr1\t1\t.\tA\tG\t.\t.\tX;MQ=1;\tGT\t0/1:12,8:20", f));
    EXPECT_EQ(f.group[0], "chr1");
    EXPECT_EQ(f.group[7], "2");

    // The shortest INFO that fits.
    ASSERT_TRUE(match_vcf_line("chr1\t1\t.\tA\tG\t.\t.\txMQ=1;\tGT\t0/1:1,2:3:4", f));
    EXPECT_EQ(f.group[5], "1");

    // The brackets admit a backslash.
    ASSERT_TRUE(match_vcf_line("chr1\t1\t.\tA\tG\t.\t.\tX;MQ=6\\0;\tGT\t0\\/1:1\\2,8:2\\0:1", f));
    EXPECT_EQ(f.group[5], "6\\0");
    EXPECT_EQ(f.group[6], "1\\2,8");
    EXPECT_EQ(f.group[7], "2\\0");

    // MQ first or last in INFO does not fit; a phased genotype does not fit.
    EXPECT_FALSE(match_vcf_line("chr1\t1\t.\tA\tG\t.\t.\tMQ=1;X\tGT\t0/1:1,2:3:4", f));
    EXPECT_FALSE(match_vcf_line("chr1\t1\t.\tA\tG\t.\t.\tX;MQ=1\tGT\t0/1:1,2:3:4", f));
    EXPECT_FALSE(match_vcf_line("chr1\t1\t.\tA\tG\t.\t.\tX;MQ=1;\tGT\t0|1:1,2:3:4", f));
}

TEST(VcfMatch, SameAsExpressionOnGeneratedCorpus) {
    Expression ex;
    ASSERT_TRUE(ex.ok());
    LineMaker maker(20240611);
    int failures = 0, matched = 0;
    // VCF_CORPUS_LINES runs a longer comparison by hand.
    const char* env = std::getenv("VCF_CORPUS_LINES");
    const int n = env && std::atoi(env) > 0 ? std::atoi(env) : 40000;
    for (int i = 0; i < n && failures < 10; ++i) {
        std::string line = maker.make();
        if (!same_as_expression(ex, line)) ++failures;
        // The trailing newline that a line reader strips changes nothing.
        if (i % 8 == 0 && !same_as_expression(ex, line + "\n")) ++failures;
        LineFields f;
        matched += match_vcf_line(line, f);
    }
    EXPECT_EQ(failures, 0);
    // The corpus must exercise both sides.
    EXPECT_GT(matched, n / 5);
    EXPECT_LT(matched, n * 4 / 5);
}

TEST(VcfMatch, SameAsExpressionOnTestInputs) {
    Expression ex;
    ASSERT_TRUE(ex.ok());
    namespace fs = std::filesystem;
    std::vector<fs::path> files;
    for (const fs::path& dir : {fs::path(wes::test::data_path("vcf")), fs::path(WES_SOURCE_DIR) / "demo" / "data"}) {
        if (!fs::is_directory(dir)) continue;
        for (const auto& entry : fs::directory_iterator(dir))
            if (entry.path().extension() == ".vcf") files.push_back(entry.path());
    }
    std::size_t lines = 0;
    for (const fs::path& file : files) {
        std::string text = wes::test::read_file(file.string());
        std::size_t pos = 0;
        while (pos < text.size()) {
            std::size_t nl = text.find('\n', pos);
            if (nl == std::string::npos) nl = text.size();
            EXPECT_TRUE(same_as_expression(ex, text.substr(pos, nl - pos))) << file;
            pos = nl + 1;
            ++lines;
        }
    }
    EXPECT_GT(lines, 50u);
}

TEST(VcfMatch, ChrPrefix) {
    EXPECT_TRUE(wes::vcf::has_chr_prefix("chr1\t1"));
    EXPECT_TRUE(wes::vcf::has_chr_prefix(" \t chrUn"));
    EXPECT_TRUE(wes::vcf::has_chr_prefix("chr"));
    EXPECT_FALSE(wes::vcf::has_chr_prefix("ch"));
    EXPECT_FALSE(wes::vcf::has_chr_prefix("1\t100"));
    EXPECT_FALSE(wes::vcf::has_chr_prefix("#CHROM\tPOS"));
    EXPECT_FALSE(wes::vcf::has_chr_prefix("Chr1"));
    EXPECT_FALSE(wes::vcf::has_chr_prefix(""));
}
