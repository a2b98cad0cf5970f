#include "reports.hpp"

#include <cinttypes>
#include <cstdio>

#include "out_file.hpp"

namespace wes::qc {

namespace {
std::int64_t quality_total(const Counters& res, int r) {
    std::int64_t tot = 0;
    for (int k = 0; k <= k_top_score; ++k) tot += res.qual_count[r][k];
    return tot;
}
std::int64_t base_total(const Counters& res, int r) {
    const auto& b = res.base_count[r];
    return b[1] + b[2] + b[3] + b[4] + b[5];
}
}  // namespace

Summary summarize(const Counters& res) {
    Summary s;
    for (int r = 0; r < k_rows; ++r) {
        const auto& q = res.qual_count[r];
        for (int k = 20; k <= k_top_score; ++k) s.Q_20_number += static_cast<std::uint64_t>(q[k]);
        for (int k = 30; k <= k_top_score; ++k) s.Q_30_number += static_cast<std::uint64_t>(q[k]);
        s.Q_tot += static_cast<std::uint64_t>(quality_total(res, r));

        const std::int64_t bases = base_total(res, r);
        (r < k_cycles ? s.read1base_number : s.read2base_number) += static_cast<std::uint64_t>(bases);
        s.GC_number += static_cast<std::uint64_t>(res.base_count[r][3] + res.base_count[r][4]);
        if (bases > 0) ++(r < k_cycles ? s.read1_len : s.read2_len);
    }
    s.pair_number = res.pair_number;
    s.base_number = s.read2base_number + s.read1base_number;
    return s;
}

void append_ratio(std::string& out, std::int64_t num, std::int64_t den) {
    // A cycle without bases is 0 / 0: the NaN of an invalid operation, sign bit set.
    if (den == 0) {
        out += "\t-nan";
        return;
    }
    float ratio = static_cast<float>(num) / static_cast<float>(den);
    char buf[64];
    int n = std::snprintf(buf, sizeof buf, "\t%.4f", static_cast<double>(ratio));
    out.append(buf, static_cast<std::size_t>(n));
}

std::string quality_report(const Counters& res) {
    std::string out = "MQ";
    for (int k = 0; k <= k_top_score; ++k) out += "\t" + std::to_string(k);
    out += '\n';
    for (int r = 0; r < k_rows; ++r) {
        const auto& q = res.qual_count[r];
        const std::int64_t tot = quality_total(res, r);
        out += std::to_string(r + 1);
        for (int k = 0; k <= k_top_score; ++k) append_ratio(out, q[k], tot);
        out += '\n';
    }
    return out;
}

std::string gc_report(const Counters& res) {
    std::string out = "GC\tA\tT\tC\tG\tN\n";
    for (int r = 0; r < k_rows; ++r) {
        const auto& b = res.base_count[r];
        const std::int64_t bases = base_total(res, r);
        out += std::to_string(r + 1);
        for (int c = 1; c < k_base_columns; ++c) append_ratio(out, b[c], bases);
        out += '\n';
    }
    return out;
}

namespace {
// "%f" of num / den, each count converted to single precision and divided so, as the
// summary has always shown its fractions; "-nan" for 0 / 0.
std::string fraction(std::uint64_t num, std::uint64_t den) {
    if (den == 0) return "-nan";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%f", static_cast<double>(static_cast<float>(num) / static_cast<float>(den)));
    return buf;
}
}  // namespace

std::string summary_report(const Summary& s) {
    char buf[512];
    int n = std::snprintf(buf, sizeof buf,
                          "read1_len\t%" PRId32 "\nread2_len\t%" PRId32 "\n"
                          "pair_number\t%" PRId64 "\nread1base_number\t%" PRIu64 "\nread2base_number\t%" PRIu64 "\n"
                          "base_number\t%" PRIu64 "\nGC_number\t%" PRIu64 "\nGC_content\t%s\n"
                          "Q_20\t%s\nQ_30\t%s\nQ_tot\t%" PRIu64 "\n",
                          s.read1_len, s.read2_len, s.pair_number, s.read1base_number, s.read2base_number,
                          s.base_number, s.GC_number, fraction(s.GC_number, s.base_number).c_str(),
                          fraction(s.Q_20_number, s.Q_tot).c_str(), fraction(s.Q_30_number, s.Q_tot).c_str(),
                          s.Q_tot);
    return std::string(buf, static_cast<std::size_t>(n));
}

bool write_reports(const Counters& res, const std::string& out) {
    Summary s = summarize(res);
    return write_whole_file(out + ".quality", quality_report(res)) &&
           write_whole_file(out + ".GC_content", gc_report(res)) && write_whole_file(out + ".totstat", summary_report(s));
}

}  // namespace wes::qc
