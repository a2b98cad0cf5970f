#include "report_files.hpp"

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
    std::string read_error() const { return reader_.failure_message(); }
    std::string at(std::uint64_t line, const std::string& what) const {
        return "Error: " + reader_.path() + " line " + std::to_string(line) + ": " + what;
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

// The 320 cycle rows of a per-cycle report: the header, then rows labelled 1-320, each
// with N shares that are all numbers between 0 and 1 adding up to 1, or all NaN.
template <std::size_t N>
bool load_cycle_table(const std::string& path, const std::string& header, const char* header_words,
                      std::array<std::array<double, N>, k_report_rows>& rows, std::string& error) {
    ReportReader in;
    if (!in.open(path, error)) return false;
    std::string_view line;
    if (!in.next(line)) {
        error = in.failed() ? in.read_error() : in.at(1, std::string("the file is empty; expected the header ") + header_words);
        return false;
    }
    if (line != header) {
        error = in.at(1, std::string("expected the header ") + header_words + ", found " + quoted(line));
        return false;
    }
    int row = 0;
    while (in.next(line)) {
        std::uint64_t no = in.line_no();
        if (row == k_report_rows) {
            error = in.at(no, "more than " + std::to_string(k_report_rows) + " cycle rows");
            return false;
        }
        std::vector<std::string_view> f = split_tabs(line);
        if (f.size() != N + 1) {
            error = in.at(no, std::to_string(f.size()) + " fields where a cycle row has " + std::to_string(N + 1));
            return false;
        }
        std::uint64_t label = 0;
        if (!parse_count(f[0], label) || label != static_cast<std::uint64_t>(row + 1)) {
            error = in.at(no, "the row is labelled " + quoted(f[0]) + ", expected " + std::to_string(row + 1));
            return false;
        }
        int nans = 0;
        double sum = 0;
        for (std::size_t k = 0; k < N; ++k) {
            double v = 0;
            if (is_nan_text(f[k + 1])) {
                ++nans;
                v = k_nan;
            } else if (!parse_number(f[k + 1], v) || v < 0 || v > 1) {
                error = in.at(no, "field " + std::to_string(k + 2) + ", " + quoted(f[k + 1]) +
                                      ", is not a share between 0 and 1");
                return false;
            }
            rows[static_cast<std::size_t>(row)][k] = v;
            if (!std::isnan(v)) sum += v;
        }
        if (nans != 0 && nans != static_cast<int>(N)) {
            error = in.at(no, "\"-nan\" next to numbers: a cycle either has bases or has none");
            return false;
        }
        if (nans == 0 && std::fabs(sum - 1) > k_sum_tolerance) {
            char buf[32];
            auto r = std::to_chars(buf, buf + sizeof buf, sum, std::chars_format::fixed, 4);
            error = in.at(no, "the shares add up to " + std::string(buf, r.ptr) + ", not 1");
            return false;
        }
        ++row;
    }
    if (in.failed()) {
        error = in.read_error();
        return false;
    }
    if (row < k_report_rows) {
        error = in.at(in.line_no() + 1, "the report ends after " + std::to_string(row) + " of its " +
                                            std::to_string(k_report_rows) + " cycle rows");
        return false;
    }
    return true;
}

std::string quality_header() {
    std::string h = "MQ";
    for (int k = 0; k < k_report_scores; ++k) h += "\t" + std::to_string(k);
    return h;
}

}  // namespace

bool load_quality(const std::string& path, QcReports& reports, std::string& error) {
    return load_cycle_table(path, quality_header(), "MQ 0 1 ... 40", reports.quality, error);
}

bool load_composition(const std::string& path, QcReports& reports, std::string& error) {
    return load_cycle_table(path, "GC\tA\tT\tC\tG\tN", "GC A T C G N", reports.composition, error);
}

bool load_totals(const std::string& path, RunTotals& t, std::string& error) {
    struct Key {
        const char* name;
        std::uint64_t* count;  // null for a fraction
        double* fraction;
    };
    const Key keys[] = {
        {"read1_len", &t.read1_len, nullptr},
        {"read2_len", &t.read2_len, nullptr},
        {"pair_number", &t.pair_number, nullptr},
        {"read1base_number", &t.read1base_number, nullptr},
        {"read2base_number", &t.read2base_number, nullptr},
        {"base_number", &t.base_number, nullptr},
        {"GC_number", &t.GC_number, nullptr},
        {"GC_content", nullptr, &t.GC_content},
        {"Q_20", nullptr, &t.Q_20},
        {"Q_30", nullptr, &t.Q_30},
        {"Q_tot", &t.Q_tot, nullptr},
    };
    constexpr std::size_t n_keys = sizeof keys / sizeof keys[0];
    ReportReader in;
    if (!in.open(path, error)) return false;
    std::string_view line;
    std::size_t i = 0;
    while (in.next(line)) {
        std::uint64_t no = in.line_no();
        if (i == n_keys) {
            error = in.at(no, "more than the " + std::to_string(n_keys) + " lines of a summary");
            return false;
        }
        const Key& key = keys[i];
        std::size_t tab = line.find('\t');
        std::string_view name = line.substr(0, tab);
        if (tab == std::string_view::npos || name != key.name) {
            error = in.at(no, std::string("expected ") + key.name + "<TAB>value, found " + quoted(line));
            return false;
        }
        std::string_view value = line.substr(tab + 1);
        if (key.count) {
            if (!parse_count(value, *key.count)) {
                error = in.at(no, std::string(key.name) + " " + quoted(value) + " is not a count");
                return false;
            }
        } else if (is_nan_text(value)) {
            *key.fraction = k_nan;
        } else if (!parse_number(value, *key.fraction) || *key.fraction < 0 || *key.fraction > 1) {
            error = in.at(no, std::string(key.name) + " " + quoted(value) + " is not a fraction between 0 and 1");
            return false;
        }
        ++i;
    }
    if (in.failed()) {
        error = in.read_error();
        return false;
    }
    if (i < n_keys) {
        error = in.at(in.line_no() + 1, "the summary ends after " + std::to_string(i) + " of its " +
                                            std::to_string(n_keys) + " lines (" + keys[i].name + " is missing)");
        return false;
    }
    return true;
}

bool load_reports(const std::string& out, QcReports& reports, std::string& error) {
    const std::string quality = out + ".quality", composition = out + ".GC_content";
    if (!load_quality(quality, reports, error) || !load_composition(composition, reports, error)) return false;
    // Both per-cycle reports of one run have bases at the same cycles.
    for (int r = 0; r < k_report_rows; ++r) {
        bool q = !std::isnan(reports.quality[static_cast<std::size_t>(r)][0]);
        bool b = !std::isnan(reports.composition[static_cast<std::size_t>(r)][0]);
        if (q != b) {
            error = "Error: " + composition + " line " + std::to_string(r + 2) + ": cycle row " +
                    std::to_string(r + 1) + (b ? " has bases here but none in " : " has no bases here but has some in ") + quality +
                    " (reports of different runs?)";
            return false;
        }
    }
    return load_totals(out + ".totstat", reports.totals, error);
}

}  // namespace wes::qc
