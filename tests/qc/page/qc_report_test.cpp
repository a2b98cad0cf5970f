#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "cycle_stats.hpp"
#include "svg_plot.hpp"
#include "verdicts.hpp"
#include "test_util.hpp"

namespace {

using wes::test::data_path;
using wes::test::file_exists;
using wes::test::read_file;
using wes::test::run_program;
using wes::test::ScratchDir;
using wes::test::write_file;

constexpr double k_nan = std::numeric_limits<double>::quiet_NaN();

// Replaces line n (from 1) of text, or removes it when with is null.
std::string with_line(const std::string& text, int n, const char* with) {
    std::size_t at = 0;
    for (int i = 1; i < n; ++i) at = text.find('\n', at) + 1;
    std::size_t end = text.find('\n', at) + 1;
    return text.substr(0, at) + (with ? std::string(with) + "\n" : "") + text.substr(end);
}

}  // namespace

TEST(QcPageAxis, NiceRangesAndTicks) {
    struct Case {
        double lo, hi;
        std::vector<double> ticks;
        int decimals;
    };
    const Case cases[] = {
        {0, 40, {0, 10, 20, 30, 40}, 0},
        {0, 41.2, {0, 10, 20, 30, 40, 50}, 0},
        {91.2, 100, {90, 92, 94, 96, 98, 100}, 0},
        {99.91, 99.97, {99.9, 99.92, 99.94, 99.96, 99.98}, 2},
        {0, 0, {0, 0.2, 0.4, 0.6, 0.8, 1}, 1},           // nothing to show still has an axis
        {5, 5, {4.7, 4.8, 4.9, 5, 5.1, 5.2, 5.3}, 1},
    };
    for (const Case& c : cases) {
        wes::qc::svg::Axis a = wes::qc::svg::nice_axis(c.lo, c.hi, 5);
        EXPECT_EQ(a.ticks, c.ticks) << c.lo << ".." << c.hi;
        EXPECT_EQ(a.decimals, c.decimals) << c.lo << ".." << c.hi;
        EXPECT_EQ(a.lo, c.ticks.front());
        EXPECT_EQ(a.hi, c.ticks.back());
    }
    EXPECT_EQ(wes::qc::svg::number(99.92, 2), "99.92");
    EXPECT_EQ(wes::qc::svg::number(-0.01, 1), "0");
    EXPECT_EQ(wes::qc::svg::number(40, 1), "40");
}

TEST(QcPageAxis, CycleTicksStartAtOne) {
    using V = std::vector<int>;
    EXPECT_EQ(wes::qc::svg::cycle_ticks(150), (V{1, 25, 50, 75, 100, 125, 150}));
    EXPECT_EQ(wes::qc::svg::cycle_ticks(160), (V{1, 25, 50, 75, 100, 125, 150}));
    EXPECT_EQ(wes::qc::svg::cycle_ticks(40), (V{1, 10, 20, 30, 40}));
    EXPECT_EQ(wes::qc::svg::cycle_ticks(4), (V{1, 2, 3, 4}));
    EXPECT_EQ(wes::qc::svg::cycle_ticks(1), (V{1}));
    EXPECT_EQ(wes::qc::svg::cycle_ticks(0), V{});
}

TEST(QcPageStats, MeanQualityAndSharesFromTheDistribution) {
    struct Case {
        std::vector<std::pair<int, double>> shares;  // score, share
        double mean, q20, q30;
    };
    const Case cases[] = {
        {{{30, 0.5}, {40, 0.5}}, 35, 1, 1},
        {{{2, 0.3333}, {30, 0.6667}}, 20.6676, 0.6667, 0.6667},
        {{{10, 0.3333}, {20, 0.3333}, {30, 0.3333}}, 20, 2 / 3.0, 1 / 3.0},  // rounded shares weigh as a whole
        {{{0, 1}}, 0, 0, 0},
    };
    for (const Case& c : cases) {
        wes::qc::ScoreShares s{};
        for (auto [k, v] : c.shares) s[static_cast<std::size_t>(k)] = v;
        EXPECT_NEAR(wes::qc::mean_quality(s), c.mean, 1e-9);
        EXPECT_NEAR(wes::qc::share_at_least(s, 20), c.q20, 1e-9);
        EXPECT_NEAR(wes::qc::share_at_least(s, 30), c.q30, 1e-9);
    }
    wes::qc::ScoreShares none;
    none.fill(k_nan);
    EXPECT_TRUE(std::isnan(wes::qc::mean_quality(none)));
    EXPECT_TRUE(std::isnan(wes::qc::share_at_least(none, 30)));
    EXPECT_NEAR(wes::qc::gc_share({0.25, 0.25, 0.2, 0.2, 0.1}), 0.4, 1e-12);
}

TEST(QcPagePlot, EmptyCyclesAreGapsInTheLines) {
    wes::qc::svg::Scale x{1, 8, 1, 8}, y{0, 10, 0, 10};
    EXPECT_EQ(wes::qc::svg::line_path({1, 2, k_nan, 4, k_nan, k_nan, 6, 7}, x, y), "M1 1 2 2M4 4h0M7 6 8 7");
    EXPECT_EQ(wes::qc::svg::line_path({k_nan, k_nan}, x, y), "");
    EXPECT_EQ(wes::qc::svg::heat_class(0), -1);
    EXPECT_EQ(wes::qc::svg::heat_class(k_nan), -1);
    EXPECT_EQ(wes::qc::svg::heat_class(0.0049), 0);
    EXPECT_EQ(wes::qc::svg::heat_class(0.05), 4);
    EXPECT_EQ(wes::qc::svg::heat_class(1), 7);
}

int count(const std::string& text, const std::string& what) {
    int n = 0;
    for (std::size_t at = 0; (at = text.find(what, at)) != std::string::npos; at += what.size()) ++n;
    return n;
}

// The twelve MultiQC files of out.
std::vector<std::string> all_json(const std::string& out) {
    std::vector<std::string> files;
    for (const char* f : {"", "_mean_quality_r1", "_mean_quality_r2", "_q30_r1", "_q30_r2", "_gc_r1", "_gc_r2",
                          "_read_length_r1", "_read_length_r2", "_adapters_r1", "_adapters_r2", "_duplication"})
        if (file_exists(out + f + "_mqc.json")) files.push_back(read_file(out + f + "_mqc.json"));
    return files;
}

TEST(QcPagePlot, ChartTextsAreEscaped) {
    wes::qc::svg::LineChart line;
    line.title = "a<b";
    line.series.push_back({"<x>", "r1", {1, 2}});
    wes::qc::svg::HeatMap heat;
    heat.title = "a<b";
    heat.shares.push_back({1});
    for (const std::string& svg : {wes::qc::svg::render(line), wes::qc::svg::render(heat)}) {
        EXPECT_EQ(count(svg, "a<b") + count(svg, "<x>"), 0) << svg;
        EXPECT_EQ(count(svg, "a&lt;b"), 3);  // the label, the title and the title's text
    }
    EXPECT_EQ(count(wes::qc::svg::render(line), "&lt;x&gt;"), 1);
}

class QcPageCli : public ::testing::Test {
protected:
    ScratchDir dir;
    std::string out = dir.path("S1.qc");
    std::string quality = read_file(data_path("qc/single.quality"));
    std::string gc = read_file(data_path("qc/single.GC_content"));
    std::string totstat = read_file(data_path("qc/single.totstat"));
    // The example pair's per-read report, with an OVER line added by hand (a sequence of
    // one pair is never overrepresented) so that the page shows one.
    std::string read_stats = read_file(data_path("qc/single.read_stats"));
    void write_reports() {
        write_file(out + ".quality", quality);
        write_file(out + ".GC_content", gc);
        write_file(out + ".totstat", totstat);
        write_file(out + ".read_stats", read_stats);
    }
};

int sections_marked(const std::string& page) {
    int n = 0;
    for (const char* m : {"pass", "warn", "fail"}) n += count(page, "<span class=\"mark " + std::string(m) + "\">" + m + "</span></h2>");
    return n;
}

TEST_F(QcPageCli, WritesThePageAndTheMultiqcFiles) {
    write_reports();
    auto r = run_program("qc_report", {out});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    std::string page = read_file(out + ".html");
    EXPECT_EQ(page.rfind("<!DOCTYPE html>\n<html lang=\"en\">", 0), 0u);
    EXPECT_NE(page.find("<title>Read QC: S1.qc</title>"), std::string::npos);  // the default sample name
    int charts = 0;
    for (std::size_t at = 0; (at = page.find("<svg class=\"chart\"", at)) != std::string::npos; ++at) ++charts;
    EXPECT_EQ(charts, 12);
    for (const char* outside : {"<script", "://", "src=", "url(", "@import"})
        EXPECT_EQ(page.find(outside), std::string::npos) << outside;
    // The example run of one read pair of 4 bases each: a mark on each of the eight
    // modules, in the verdicts at the top and in their sections, and where they came from.
    EXPECT_NE(page.find("<td class=\"n\">62.5\u00a0%</td>"), std::string::npos);
    EXPECT_EQ(count(page, "</a></th><td><span class=\"mark "), 8);
    EXPECT_EQ(sections_marked(page), 8);
    EXPECT_NE(page.find("<th scope=\"row\">Pair 1, read 2</th><td>single_2.fq</td><td class=\"note\">16 bytes, "
                        "modified 2025-01-01T00:00:00Z</td>"), std::string::npos);
    EXPECT_NE(page.find("<td class=\"note\">run 2025-01-02T03:04:05Z</td>"), std::string::npos);
    EXPECT_NE(page.find("<code>ACGT</code></td><td><code>GGCA</code>"), std::string::npos);  // overrepresented
    EXPECT_EQ(read_file(out + "_mqc.json").substr(read_file(out + "_mqc.json").find("\"data\"")),
              "\"data\": {\n    \"S1.qc\": {\"bases\": 8, \"q20_pct\": 37.5, \"q30_pct\": 25, \"gc_pct\": 62.5, "
              "\"dup_pct\": 0, \"adapter_pct\": 0, \"mean_len\": 4, \"reads\": 2}\n  }\n}\n");
    struct Holds {
        const char* file;
        const char* data;
    };
    for (const Holds& h : {Holds{"_q30_r1", "{\"1\": 100, \"2\": 100, \"3\": 0, \"4\": 0}"},
                           Holds{"_read_length_r2", "{\"4\": 100}"},
                           Holds{"_adapters_r1", "{\"1\": 0, \"2\": 0, \"3\": 0, \"4\": 0}"},
                           Holds{"_duplication", "{\"1\": 100, \"2\": 0, "}})
        EXPECT_NE(read_file(out + h.file + "_mqc.json").find("\"S1.qc\": " + std::string(h.data)), std::string::npos) << h.file;
    EXPECT_EQ(all_json(out).size(), 12u);
}

TEST_F(QcPageCli, NamesAreEscapedWhereverTheyLand) {
    // The sample name shows in the page's title, heading and summary table, and once in
    // each MultiQC file; taken from the output name, also in the line naming the reports.
    // A name in out.read_stats (an input's path, and the bases of an overrepresented read)
    // shows on the page once each, and in no MultiQC file.
    enum Route { sample, out_name, stats };
    struct Case {
        Route route;
        std::string raw;  // as given (in out.read_stats: as escape_field writes it)
        std::string html;
        int on_page;
        std::string json;
    };
    const Case cases[] = {
        {sample, "A&B \"7\"'", "A&amp;B &quot;7&quot;&#39;", 3, "\"A&B \\\"7\\\"'\""},
        {sample, "<b>x</b>", "&lt;b&gt;x&lt;/b&gt;", 3, "\"<b>x</b>\""},
        {out_name, "x<&y", "x&lt;&amp;y", 4, "\"x<&y\""},
        {sample, "a\tb\\", "a\tb\\", 3, "\"a\\u0009b\\\\\""},
        {sample, "Caf\xc3\xa9 \xf0\x9f\xa7\xac", "Caf\xc3\xa9 \xf0\x9f\xa7\xac", 3, "\"Caf\\u00e9 \\ud83e\\uddec\""},
        {out_name, "Caf\xe9", "Caf\xef\xbf\xbd", 4, "\"Caf\\ufffd\""},  // Latin-1, not UTF-8
        {stats, "r<1>&'\"\\t\\\\.fq", "r&lt;1&gt;&amp;&#39;&quot;\t\\.fq", 2, ""},
        {stats, "Caf\xe9\\n<", "Caf\xef\xbf\xbd\n&lt;", 2, ""},
    };
    for (const Case& c : cases) {
        out = dir.path(c.route == out_name ? c.raw : "S1.qc");
        write_reports();
        std::vector<std::string> args = {out};
        if (c.route == sample) args.push_back(c.raw);
        if (c.route == stats) {
            std::string text = read_stats;
            text.replace(text.find("single_1.fq"), 11, c.raw);
            text.replace(text.find("ACGT\tGGCA"), 4, c.raw);
            write_file(out + ".read_stats", text);
        }
        ASSERT_EQ(run_program("qc_report", args).status, 0) << c.html;
        const std::string page = read_file(out + ".html");
        EXPECT_EQ(count(page, c.html), c.on_page) << c.html;
        if (c.raw != c.html) {
            EXPECT_EQ(count(page, c.raw), 0) << c.html;
        }
        for (const std::string& json : all_json(out)) {
            if (c.route != stats) {
                EXPECT_EQ(count(json, c.json + ": {"), 1) << c.html;
            }
            EXPECT_EQ(std::count_if(json.begin(), json.end(), [](char b) { return b & 0x80; }), 0) << c.html;
        }
    }
}

TEST_F(QcPageCli, BadReportsAreNamedWithTheirLine) {
    std::string q = out + ".quality", g = out + ".GC_content", t = out + ".totstat", s = out + ".read_stats";
    const std::string& rs = read_stats;
    std::string nan_row = "2\t-nan\t-nan\t-nan\t-nan\t-nan";
    struct Case {
        const char* name;
        std::string quality, gc, totstat;
        std::string message;
        std::string per_read = "";  // out.read_stats; "": the example's
    };
    const Case cases[] = {
        {"319 rows", with_line(quality, 321, nullptr), gc, totstat,
         q + " line 321: the report ends after 319 of its 320 cycle rows"},
        {"321 rows", quality + "321\n", gc, totstat, q + " line 322: more than 320 cycle rows"},
        {"header", with_line(quality, 1, "MQ\t0"), gc, totstat,
         q + " line 1: expected the header MQ 0 1 ... 40, found \"MQ\t0\""},
        {"not a number", quality, with_line(gc, 3, "2\t0.0000\t0.0000\tx.5\t0.0000\t0.0000"), totstat,
         g + " line 3: field 4, \"x.5\", is not a share between 0 and 1"},
        {"row label", quality, with_line(gc, 3, "7\t0.0000\t0.0000\t1.0000\t0.0000\t0.0000"), totstat,
         g + " line 3: the row is labelled \"7\", expected 2"},
        {"shares", quality, with_line(gc, 3, "2\t0.0000\t0.0000\t0.5000\t0.0000\t0.0000"), totstat,
         g + " line 3: the shares add up to 0.5000, not 1"},
        {"negative", quality, with_line(gc, 3, "2\t-0.5000\t0.5000\t1.0000\t0.0000\t0.0000"), totstat,
         g + " line 3: field 2, \"-0.5000\", is not a share between 0 and 1"},
        {"half empty", quality, with_line(gc, 3, "2\t-nan\t0.0000\t1.0000\t0.0000\t0.0000"), totstat,
         g + " line 3: \"-nan\" next to numbers: a cycle either has bases or has none"},
        {"runs apart", quality, with_line(gc, 3, nan_row.c_str()), totstat,
         g + " line 3: cycle row 2 has no bases here but has some in " + q + " (reports of different runs?)"},
        {"count", quality, gc, with_line(totstat, 3, "pair_number\t2x"),
         t + " line 3: pair_number \"2x\" is not a count"},
        {"fraction", quality, gc, with_line(totstat, 9, "Q_20\t37.5"),
         t + " line 9: Q_20 \"37.5\" is not a fraction between 0 and 1"},
        {"key", quality, gc, with_line(totstat, 2, "read_len\t4"),
         t + " line 2: expected read2_len<TAB>value, found \"read_len\t4\""},
        {"10 keys", quality, gc, with_line(totstat, 11, nullptr),
         t + " line 11: the summary ends after 10 of its 11 lines (Q_tot is missing)"},
        // out.read_stats (lines 8-20 SN, 22-23 LEN, 25-26 QUAL, 31-38 ADAPTER, 40-49 DUP, 51 OVER)
        {"first line", quality, gc, totstat, s + " line 1: expected \"# read_stats format 1\", found \"# read_stats format 2\"",
         with_line(rs, 1, "# read_stats format 2")},
        {"tag", quality, gc, totstat, s + " line 25: unknown line tag \"QUALITY\"", with_line(rs, 25, "QUALITY\t1\t27\t1")},
        {"order", quality, gc, totstat, s + " line 29: a LEN line after the GC lines", with_line(rs, 29, "LEN\t2\t4\t1")},
        {"input order", quality, gc, totstat, s + " line 6: expected pair 1 mate 2, found pair 1 mate 1",
         with_line(rs, 6, "INPUT\t1\t1\t16\t2025-01-01T00:00:00Z\tx")},
        {"escape", quality, gc, totstat, s + " line 5: the path \"a\\x.fq\" holds a backslash that escapes nothing",
         with_line(rs, 5, "INPUT\t1\t1\t16\t2025-01-01T00:00:00Z\ta\\x.fq")},
        {"SN key", quality, gc, totstat, s + " line 9: expected SN bases_1, found \"bases\"", with_line(rs, 9, "SN\tbases\t4")},
        {"count", quality, gc, totstat, s + " line 22: reads \"many\" is not a count", with_line(rs, 22, "LEN\t1\t4\tmany")},
        {"more reads than pairs", quality, gc, totstat, s + " line 22: more reads than the 1 of read_pairs",
         with_line(rs, 22, "LEN\t1\t4\t2")},
        {"lengths of a read missing", quality, gc, totstat,
         s + " line 24: the QUAL lines begin while the LEN lines of read 1 count 0 reads, not the 1 of read_pairs",
         with_line(rs, 22, nullptr)},
        {"cycle gap", quality, gc, totstat, s + " line 33: expected cycle 3 of read 1, found \"4\"",
         with_line(rs, 33, "ADAPTER\t1\t4\t0\t0\t0")},
        {"adapter count", quality, gc, totstat,
         s + " line 32: Illumina universal \"2\" falls below the cycle before or passes read_pairs",
         with_line(rs, 32, "ADAPTER\t1\t2\t2\t0\t0")},
        {"9 DUP lines", quality, gc, totstat, s + " line 50: the OVER lines begin after 9 of the 10 DUP lines",
         with_line(rs, 49, nullptr)},
        {"share", quality, gc, totstat, s + " line 40: the share \"1.5\" is not a share between 0 and 1",
         with_line(rs, 40, "DUP\t1\t1\t1\t1.5")},
        {"adapter name", quality, gc, totstat, s + " line 51: the adapter \"Illumina\" is none of those looked for",
         with_line(rs, 51, "OVER\t1\t1.000000\tACGT\tGGCA\tIllumina\t-")},
        {"per-read report of another run", quality, gc, with_line(totstat, 3, "pair_number\t4"),
         s + " line 8: read_pairs 1 is not half of pair_number 4 in " + t + " (reports of different runs?)"},
        {"cut short", quality, gc, totstat,
         s + " line 31: the report ends after 0 ADAPTER lines of read 1, not one per cycle up to 4",
         rs.substr(0, rs.find("\nADAPTER") + 1)},
    };
    for (const Case& c : cases) {
        write_file(q, c.quality);
        write_file(g, c.gc);
        write_file(t, c.totstat);
        write_file(s, c.per_read.empty() ? rs : c.per_read);
        auto r = run_program("qc_report", {out});
        EXPECT_EQ(r.status, 2) << c.name;
        EXPECT_EQ(r.out, "Error: " + c.message + "\n") << c.name;
        EXPECT_FALSE(file_exists(out + ".html")) << c.name;
    }
    std::remove(t.c_str());
    auto r = run_program("qc_report", {out});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "Error: cannot read " + t + ": No such file or directory\n");
}

TEST_F(QcPageCli, NamesThatCannotWorkAreRefused) {
    write_reports();
    const std::string folder = dir.dir() + "/";
    for (const std::string& r : {std::string(".quality"), std::string(".GC_content"), std::string(".totstat")})
        write_file(folder + r, read_file(out + r));
    struct Case {
        std::vector<std::string> args;
        std::string said;
    };
    const Case cases[] = {
        {{out, ""}, "Error: the sample name is empty\n"},
        {{""}, "Error: the output name is empty\n"},
        {{folder, "S"}, "Error: the output name " + folder + " names a folder, not a file\n"},
    };
    for (const Case& c : cases) {
        auto r = run_program("qc_report", c.args);
        EXPECT_EQ(r.status, 2) << c.said;
        EXPECT_EQ(r.out, c.said);
        EXPECT_FALSE(file_exists(out + ".html") || file_exists(folder + ".html")) << c.said;
    }
}

TEST_F(QcPageCli, CrlfReportsAndCyclesWithoutBasesGiveCleanFiles) {
    write_reports();
    ASSERT_EQ(run_program("qc_report", {out, "S"}).status, 0);
    const std::string page = read_file(out + ".html");
    const std::vector<std::string> json = all_json(out);
    auto crlf = [](const std::string& text) {
        std::string t;
        for (char c : text) t += c == '\n' ? std::string("\r\n") : std::string(1, c);
        return t;
    };
    std::string nan_quality = "2";
    for (int k = 0; k <= 40; ++k) nan_quality += "\t-nan";
    // read_qc_stat over a pair of empty files: every cycle "-nan", fractions "-nan".
    write_file(out + "_1.fq", "");
    ASSERT_EQ(run_program("read_qc_stat", {out + "_1.fq", out + "_1.fq", dir.path("E")}).status, 0);
    struct Case {
        const char* name;
        std::string quality, gc, totstat, read_stats;  // no read_stats: none at all
        const char* file;  // a MultiQC file, and what it holds
        std::string holds;
        int empty_charts, marked;  // charts without data, sections with a mark
    };
    const Case cases[] = {
        {"CRLF", crlf(quality), crlf(gc), crlf(totstat), crlf(read_stats), "", "", 0, 8},
        {"cycle 2 without bases", with_line(quality, 3, nan_quality.c_str()),
         with_line(gc, 3, "2\t-nan\t-nan\t-nan\t-nan\t-nan"), totstat, read_stats, "_q30_r1",
         "\"S\": {\"1\": 100, \"3\": 0, \"4\": 0}", 0, 8},
        {"reports of an older run, without out.read_stats", quality, gc, totstat, "", "_duplication", "\"data\": {}", 0, 2},
        {"a run without bases", read_file(dir.path("E.quality")), read_file(dir.path("E.GC_content")),
         read_file(dir.path("E.totstat")), read_file(dir.path("E.read_stats")), "", "\"S\": {\"bases\": 0, \"reads\": 0}",
         12, 8},
    };
    for (const Case& c : cases) {
        write_file(out + ".quality", c.quality);
        write_file(out + ".GC_content", c.gc);
        write_file(out + ".totstat", c.totstat);
        std::remove((out + ".read_stats").c_str());
        if (!c.read_stats.empty()) write_file(out + ".read_stats", c.read_stats);
        auto r = run_program("qc_report", {out, "S"});
        EXPECT_EQ(r.status, 0) << c.name << ": " << r.out;
        for (const std::string& j : all_json(out)) EXPECT_EQ(j.find("nan"), std::string::npos) << c.name << "\n" << j;
        EXPECT_NE(read_file(out + c.file + "_mqc.json").find(c.holds), std::string::npos) << c.name;
        const std::string html = read_file(out + ".html");
        EXPECT_EQ(count(html, ">no bases counted<") + count(html, ">no reads counted<"), c.empty_charts) << c.name;
        EXPECT_EQ(sections_marked(html), c.marked) << c.name;
        EXPECT_EQ(count(html, "S1.qc.read_stats is not there"), c.read_stats.empty() ? 2 : 0) << c.name;
        if (c.name == std::string("CRLF")) {
            EXPECT_EQ(html, page);
            EXPECT_EQ(all_json(out), json);
        }
    }
    // The last case: a summary without fractions, every module failed, and read 2
    // without a line at all.
    EXPECT_NE(read_file(out + ".html").find("<td class=\"n\">\u2013</td>"), std::string::npos);  // Q20 of nothing
    EXPECT_EQ(count(read_file(out + ".html"), "<span class=\"mark fail\">fail</span></h2>"), 8);
    std::string q30 = read_file(out + "_q30_r2_mqc.json");
    EXPECT_EQ(q30.substr(q30.size() - 13), "\"data\": {}\n}\n");  // no line rather than an empty one
}

TEST(QcVerdicts, EachModuleAtItsThresholds) {
    // A run of 1,000 read pairs of 100 bases, every figure clean; each case changes one.
    using wes::qc::Mark;
    auto clean = [] {
        wes::qc::QcReports r;
        for (auto& row : r.quality) row.fill(k_nan);
        for (auto& row : r.composition) row.fill(k_nan);
        for (int m = 0; m < 2; ++m)
            for (int c = 0; c < 100; ++c) {
                r.quality[static_cast<std::size_t>(m * 160 + c)].fill(0);
                r.quality[static_cast<std::size_t>(m * 160 + c)][36] = 1;
                r.composition[static_cast<std::size_t>(m * 160 + c)] = {0.25, 0.25, 0.25, 0.25, 0};
            }
        wes::qc::ReadStatsReport s;
        s.present = true;
        s.numbers.read_pairs = 1000;
        for (auto& t : s.mates) {
            t.lengths = {{100, 1000}};
            t.mean_quality[36] = 1000;
            for (int p = 30; p <= 70; ++p)  // a normal curve of sd 5 around 50
                t.gc[static_cast<std::size_t>(p)] = static_cast<std::uint64_t>(std::lround(1000 * std::exp(-(p - 50) * (p - 50) / 50.0) / std::sqrt(50 * 3.14159265)));
            t.adapters.assign(100, {0, 0, 0});
        }
        s.numbers.duplicate_share = 0.1;
        return std::pair{r, s};
    };
    struct Case {
        const char* id;
        std::function<void(wes::qc::QcReports&, wes::qc::ReadStatsReport&)> change;
        Mark mark;
    };
    auto median_at = [](wes::qc::QcReports& r, int score, int quartile) {
        auto& q = r.quality[150];
        q.fill(0);
        q[static_cast<std::size_t>(quartile)] = 0.3;
        q[static_cast<std::size_t>(score)] = 0.7;
    };
    auto adapter_in = [](wes::qc::ReadStatsReport& s, std::uint64_t reads) { s.mates[1].adapters.back()[2] = reads; };
    const std::vector<Case> cases = {
        {"quality", [](auto&, auto&) {}, Mark::pass},
        {"quality", [&](auto& r, auto&) { median_at(r, 24, 30); }, Mark::warn},
        {"quality", [&](auto& r, auto&) { median_at(r, 30, 9); }, Mark::warn},
        {"quality", [&](auto& r, auto&) { median_at(r, 19, 30); }, Mark::fail},
        {"quality", [&](auto& r, auto&) { median_at(r, 30, 4); }, Mark::fail},
        {"composition", [](auto& r, auto&) { r.composition[5] = {0.30, 0.20, 0.25, 0.25, 0}; }, Mark::pass},
        {"composition", [](auto& r, auto&) { r.composition[165] = {0.25, 0.25, 0.19, 0.31, 0}; }, Mark::warn},
        {"composition", [](auto& r, auto&) { r.composition[5] = {0.36, 0.14, 0.25, 0.25, 0}; }, Mark::fail},
        {"lengths", [](auto&, auto& s) { s.mates[1].lengths = {{99, 1}, {100, 999}}; }, Mark::warn},
        {"lengths", [](auto&, auto& s) { s.mates[0].lengths = {{0, 1}, {100, 999}}; }, Mark::fail},
        {"read_quality", [](auto&, auto& s) { s.mates[1].mean_quality = {}, s.mates[1].mean_quality[27] = 1000; }, Mark::pass},
        {"read_quality", [](auto&, auto& s) { s.mates[1].mean_quality = {}, s.mates[1].mean_quality[26] = 1000; }, Mark::warn},
        {"read_quality", [](auto&, auto& s) { s.mates[0].mean_quality[19] = 1001; }, Mark::fail},
        {"read_gc", [](auto&, auto&) {}, Mark::pass},
        {"read_gc", [](auto&, auto& s) { s.mates[0].gc[50] += 100; }, Mark::warn},  // a sharp extra peak
        {"read_gc", [](auto&, auto& s) { s.mates[1].gc[80] = 30; }, Mark::fail},    // 3% far off widen the curve
        {"adapters", [&](auto&, auto& s) { adapter_in(s, 50); }, Mark::pass},
        {"adapters", [&](auto&, auto& s) { adapter_in(s, 51); }, Mark::warn},
        {"adapters", [&](auto&, auto& s) { adapter_in(s, 101); }, Mark::fail},
        {"duplication", [](auto&, auto& s) { s.numbers.duplicate_share = 0.2; }, Mark::pass},
        {"duplication", [](auto&, auto& s) { s.numbers.duplicate_share = 0.21; }, Mark::warn},
        {"duplication", [](auto&, auto& s) { s.numbers.duplicate_share = 0.51; }, Mark::fail},
        {"overrepresented", [](auto&, auto&) {}, Mark::pass},
        {"overrepresented", [](auto&, auto& s) { s.over = {{2, 0.002, "A", "C", "-", "-"}}; }, Mark::warn},
        {"overrepresented", [](auto&, auto& s) { s.over = {{11, 0.011, "A", "C", "-", "-"}}; }, Mark::fail},
        {"overrepresented", [](auto&, auto& s) { s.numbers.read_pairs = 0; }, Mark::fail},  // no reads
    };
    for (const Case& c : cases) {
        auto [r, s] = clean();
        c.change(r, s);
        for (const wes::qc::Verdict& v : wes::qc::verdicts(r, s)) {
            const bool changed = v.id == std::string(c.id);
            EXPECT_EQ(v.mark, changed ? c.mark : s.numbers.read_pairs == 0 && v.id != std::string("quality") &&
                                                         v.id != std::string("composition")
                                                     ? Mark::fail
                                                     : Mark::pass)
                << c.id << " / " << v.id << ": " << v.why;
        }
    }
    auto [r, s] = clean();
    s.present = false;
    EXPECT_EQ(wes::qc::verdicts(r, s).size(), 2u);  // an older run: the per-cycle modules alone
}
