#include "report_reader.hpp"

#include <charconv>
#include <cmath>
#include <limits>
#include <string_view>
#include <vector>

#include "line_reader.hpp"

namespace wes::qc {

namespace {

constexpr double k_nan = std::numeric_limits<double>::quiet_NaN();
// Shares are printed with four decimals, so the 41 of a cycle may add up to 1 give or
// take 41 half-units of the last place; anything further off is not a cycle's row.
constexpr double k_sum_tolerance = 0.005;

// Reads a small report line by line, numbering the lines, and words the messages.
class ReportReader {
public:
    bool open(const std::string& path, std::string& error) {
        if (reader_.open(path)) return true;
        error = reader_.failure_message();
        return false;
    }
    // False at the end of the file or on a read error (failed() tells them apart).
    bool next(std::string_view& line) {
        LineReader::Status s = reader_.next(line);
        if (s == LineReader::Status::error) failed_ = true;
        if (s != LineReader::Status::line) return false;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        return true;
    }
    bool failed() const { return failed_; }
    std::uint64_t line_no() const { return reader_.line_number(); }
    // False with error set: a read error, or what is wrong with the current line.
    bool read_error(std::string& error) const {
        error = reader_.failure_message();
        return false;
    }
    bool bad_line(std::string& error, const std::string& what) const { return bad_line(error, line_no(), what); }
    bool bad_line(std::string& error, std::uint64_t line, const std::string& what) const {
        error = "Error: " + reader_.path() + " line " + std::to_string(line) + ": " + what;
        return false;
    }

private:
    LineReader reader_;
    bool failed_ = false;
};

std::vector<std::string_view> split_tabs(std::string_view line) {
    std::vector<std::string_view> f;
    for (;;) {
        std::size_t t = line.find('\t');
        f.push_back(line.substr(0, t));
        if (t == std::string_view::npos) return f;
        line.remove_prefix(t + 1);
    }
}

bool is_nan_text(std::string_view s) { return s == "-nan" || s == "nan"; }

// A decimal number written whole (no sign other than a leading minus, no blanks).
bool parse_number(std::string_view s, double& v) {
    if (s.empty() || s.front() == '+') return false;
    auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    return r.ec == std::errc() && r.ptr == s.data() + s.size() && std::isfinite(v);
}

bool parse_count(std::string_view s, std::uint64_t& v) {
    if (s.empty()) return false;
    auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

std::string quoted(std::string_view s) {
    constexpr std::size_t k_shown = 40;
    std::string q = "\"";
    q.append(s.substr(0, k_shown));
    if (s.size() > k_shown) q += "...";
    return q + "\"";
}

bool read_header(ReportReader& in, std::string_view header, const char* words, std::string& error) {
    std::string_view line;
    if (!in.next(line))
        return in.failed() ? in.read_error(error)
                           : in.bad_line(error, 1, std::string("the file is empty; expected the header ") + words);
    if (line != header) return in.bad_line(error, std::string("expected the header ") + words + ", found " + quoted(line));
    return true;
}

// Cycle row row + 1: its label, then N shares that are all numbers between 0 and 1
// adding up to 1, or all NaN.
template <std::size_t N>
bool parse_cycle_row(const ReportReader& in, std::string_view line, int row, std::array<double, N>& shares,
                     std::string& error) {
    std::vector<std::string_view> f = split_tabs(line);
    if (f.size() != N + 1)
        return in.bad_line(error, std::to_string(f.size()) + " fields where a cycle row has " + std::to_string(N + 1));
    std::uint64_t label = 0;
    if (!parse_count(f[0], label) || label != static_cast<std::uint64_t>(row + 1))
        return in.bad_line(error, "the row is labelled " + quoted(f[0]) + ", expected " + std::to_string(row + 1));
    std::size_t nans = 0;
    double sum = 0;
    for (std::size_t k = 0; k < N; ++k) {
        double& v = shares[k];
        if (is_nan_text(f[k + 1])) {
            ++nans;
            v = k_nan;
        } else if (!parse_number(f[k + 1], v) || v < 0 || v > 1) {
            return in.bad_line(error, "field " + std::to_string(k + 2) + ", " + quoted(f[k + 1]) +
                                          ", is not a share between 0 and 1");
        } else {
            sum += v;
        }
    }
    if (nans != 0 && nans != N)
        return in.bad_line(error, "\"-nan\" next to numbers: a cycle either has bases or has none");
    if (nans == 0 && std::fabs(sum - 1) > k_sum_tolerance) {
        char buf[32];
        auto r = std::to_chars(buf, buf + sizeof buf, sum, std::chars_format::fixed, 4);
        return in.bad_line(error, "the shares add up to " + std::string(buf, r.ptr) + ", not 1");
    }
    return true;
}

// The 320 cycle rows of a per-cycle report, after its header.
template <std::size_t N>
bool load_cycle_table(const std::string& path, std::string_view header, const char* header_words,
                      std::array<std::array<double, N>, k_rows>& rows, std::string& error) {
    ReportReader in;
    if (!in.open(path, error) || !read_header(in, header, header_words, error)) return false;
    std::string_view line;
    int row = 0;
    for (; in.next(line); ++row) {
        if (row == k_rows) return in.bad_line(error, "more than " + std::to_string(k_rows) + " cycle rows");
        if (!parse_cycle_row(in, line, row, rows[static_cast<std::size_t>(row)], error)) return false;
    }
    if (in.failed()) return in.read_error(error);
    if (row < k_rows)
        return in.bad_line(error, in.line_no() + 1, "the report ends after " + std::to_string(row) + " of its " +
                                                        std::to_string(k_rows) + " cycle rows");
    return true;
}

// A line of the summary: key, tab, its count or fraction.
bool parse_summary_line(const ReportReader& in, std::string_view line, const SummaryKey& key, RunTotals& t,
                        std::string& error) {
    std::size_t tab = line.find('\t');
    if (tab == std::string_view::npos || line.substr(0, tab) != key.name)
        return in.bad_line(error, std::string("expected ") + key.name + "<TAB>value, found " + quoted(line));
    std::string_view value = line.substr(tab + 1);
    if (key.count) {
        if (!parse_count(value, t.*key.count))
            return in.bad_line(error, std::string(key.name) + " " + quoted(value) + " is not a count");
    } else if (is_nan_text(value)) {
        t.*key.fraction = k_nan;
    } else if (double& v = t.*key.fraction; !parse_number(value, v) || v < 0 || v > 1) {
        return in.bad_line(error, std::string(key.name) + " " + quoted(value) + " is not a fraction between 0 and 1");
    }
    return true;
}

bool load_totals(const std::string& path, RunTotals& t, std::string& error) {
    constexpr std::size_t n_keys = k_summary_keys.size();
    ReportReader in;
    if (!in.open(path, error)) return false;
    std::string_view line;
    std::size_t i = 0;
    for (; in.next(line); ++i) {
        if (i == n_keys) return in.bad_line(error, "more than the " + std::to_string(n_keys) + " lines of a summary");
        if (!parse_summary_line(in, line, k_summary_keys[i], t, error)) return false;
    }
    if (in.failed()) return in.read_error(error);
    if (i < n_keys)
        return in.bad_line(error, in.line_no() + 1,
                           "the summary ends after " + std::to_string(i) + " of its " + std::to_string(n_keys) +
                               " lines (" + k_summary_keys[i].name + " is missing)");
    return true;
}

}  // namespace

bool load_reports(const std::string& out, QcReports& reports, std::string& error) {
    const std::string quality = out + k_report_suffixes[0], composition = out + k_report_suffixes[1];
    if (!load_cycle_table(quality, quality_header(), "MQ 0 1 ... 40", reports.quality, error) ||
        !load_cycle_table(composition, k_composition_header, "GC A T C G N", reports.composition, error))
        return false;
    // Both per-cycle reports of one run have bases at the same cycles.
    for (int r = 0; r < k_rows; ++r) {
        bool q = !std::isnan(reports.quality[static_cast<std::size_t>(r)][0]);
        bool b = !std::isnan(reports.composition[static_cast<std::size_t>(r)][0]);
        if (q != b) {
            error = "Error: " + composition + " line " + std::to_string(r + 2) + ": cycle row " +
                    std::to_string(r + 1) + (b ? " has bases here but none in " : " has no bases here but has some in ") +
                    quality + " (reports of different runs?)";
            return false;
        }
    }
    return load_totals(out + k_report_suffixes[2], reports.totals, error);
}

}  // namespace wes::qc
