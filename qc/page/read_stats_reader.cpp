#include "read_stats_reader.hpp"

#include <cerrno>
#include <cmath>
#include <limits>
#include <sys/stat.h>

#include "report_lines.hpp"

namespace wes::qc {

namespace {

// The sections of the file, in their order, by the tag of their lines.
enum Section { version, date, input, number, length, quality, gc, adapter, dup, over, k_sections };
constexpr const char* k_tags[k_sections] = {k_tag_version, k_tag_date,    k_tag_input, k_tag_number, k_tag_length,
                                            k_tag_quality, k_tag_gc,      k_tag_adapter, k_tag_dup, k_tag_over};

// A field that may hold any byte, as escape_field wrote it; false for a stray backslash.
bool unescape(std::string_view s, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\') {
            out += s[i];
            continue;
        }
        if (++i == s.size()) return false;
        switch (s[i]) {
            case '\\': out += '\\'; break;
            case 't': out += '\t'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            default: return false;
        }
    }
    return true;
}

class Parser {
public:
    Parser(const ReportReader& in, ReadStatsReport& r, std::string& error) : in_(in), r_(r), error_(error) {}

    bool line(std::string_view text) {
        f_ = split_tabs(text);
        int t = 0;
        while (t < k_sections && f_[0] != k_tags[t]) ++t;
        if (t == k_sections) return bad("unknown line tag " + quoted(f_[0]));
        if (t < section_) return bad(std::string("a ") + k_tags[t] + " line after the " + k_tags[section_] + " lines");
        while (section_ < t)
            if (!close(section_++)) return false;
        ++count_;
        switch (section_) {
            case version: return single(r_.version);
            case date: return single(r_.date);
            case input: return on_input();
            case number: return on_number();
            case length: return on_length();
            case quality: return on_distribution(quality, k_top_mean_score);
            case gc: return on_distribution(gc, k_gc_percents - 1);
            case adapter: return on_adapter();
            case dup: return on_dup();
            default: return on_over();
        }
    }

    // At the end of the file: every section closed.
    bool finish() {
        at_end_ = true;
        while (section_ < k_sections)
            if (!close(section_++)) return false;
        return true;
    }

private:
    const ReportReader& in_;
    ReadStatsReport& r_;
    std::string& error_;
    std::vector<std::string_view> f_;
    int section_ = version;
    std::size_t count_ = 0;  // lines of the current section
    bool at_end_ = false;
    // The last LEN, QUAL or GC line's mate and value, so that they rise.
    std::uint64_t last_mate_ = 0, last_value_ = 0;
    std::array<std::uint64_t, 2> sums_{};

    bool bad(const std::string& what) {
        return at_end_ ? in_.bad_line(error_, in_.line_no() + 1, what) : in_.bad_line(error_, what);
    }
    bool fields(std::size_t n) {
        if (f_.size() == n) return true;
        return bad(std::to_string(f_.size()) + " fields where a " + std::string(f_[0]) + " line has " + std::to_string(n));
    }
    bool count(std::size_t i, const char* what, std::uint64_t& v) {
        if (parse_count(f_[i], v)) return true;
        return bad(std::string(what) + " " + quoted(f_[i]) + " is not a count");
    }
    bool share(std::size_t i, const char* what, double& v) {
        if (is_nan_text(f_[i])) {
            v = std::numeric_limits<double>::quiet_NaN();
            return true;
        }
        if (parse_number(f_[i], v) && v >= 0 && v <= 1) return true;
        return bad(std::string(what) + " " + quoted(f_[i]) + " is not a share between 0 and 1");
    }
    bool mate(std::uint64_t& m) {
        if (parse_count(f_[1], m) && (m == 1 || m == 2)) return true;
        return bad("the mate " + quoted(f_[1]) + " is neither 1 nor 2");
    }
    bool text(std::size_t i, const char* what, std::string& out) {
        if (unescape(f_[i], out)) return true;
        return bad(std::string(what) + " " + quoted(f_[i]) + " holds a backslash that escapes nothing");
    }

    // What a section must hold, checked when the next one begins or the file ends.
    bool close(int s) {
        const std::string where = at_end_ ? "the report ends" : "the " + std::string(f_[0]) + " lines begin";
        const ReadNumbers& n = r_.numbers;
        switch (s) {
            case version:
            case date:
                if (count_ != 1) return bad(where + " where the " + k_tags[s] + " line should come");
                break;
            case input:
                if (count_ < 2 || r_.inputs.back().mate != 2)
                    return bad(where + " before the INPUT lines name read 1 and read 2 of each pair");
                break;
            case number:
                if (count_ != k_read_numbers.size() + 1)
                    return bad(where + " after " + std::to_string(count_) + " of the " +
                               std::to_string(k_read_numbers.size() + 1) + " SN lines");
                break;
            case length:
                for (int m = 0; m < 2; ++m)
                    if (sums_[m] != n.read_pairs)
                        return bad(where + " while the LEN lines of read " + std::to_string(m + 1) + " count " +
                                   std::to_string(sums_[m]) + " reads, not the " + std::to_string(n.read_pairs) +
                                   " of read_pairs");
                break;
            case adapter:
                for (int m = 0; m < 2; ++m) {
                    const std::uint64_t cycles = std::min(n.max_length[m], k_length_bound);
                    if (r_.mates[m].adapters.size() != cycles)
                        return bad(where + " after " + std::to_string(r_.mates[m].adapters.size()) +
                                   " ADAPTER lines of read " + std::to_string(m + 1) + ", not one per cycle up to " +
                                   std::to_string(cycles));
                }
                break;
            case dup:
                if (count_ != k_dup_levels) return bad(where + " after " + std::to_string(count_) + " of the 10 DUP lines");
                break;
            default: break;
        }
        count_ = 0;
        last_mate_ = last_value_ = 0;
        sums_ = {};
        return true;
    }

    bool single(std::string& value) {
        if (count_ > 1) return bad(std::string("a second ") + std::string(f_[0]) + " line");
        if (!fields(2)) return false;
        value = std::string(f_[1]);
        return true;
    }

    bool on_input() {
        InputRecord in;
        if (!fields(6) || !count(1, "the pair", in.pair) || !count(2, "the mate", in.mate)) return false;
        const std::uint64_t k = r_.inputs.size();
        if (in.pair != k / 2 + 1 || in.mate != k % 2 + 1)
            return bad("expected pair " + std::to_string(k / 2 + 1) + " mate " + std::to_string(k % 2 + 1) +
                       ", found pair " + std::to_string(in.pair) + " mate " + std::to_string(in.mate));
        in.known = f_[3] != "-";
        if (in.known != (f_[4] != "-")) return bad("a size without a time, or a time without a size");
        if (in.known && !count(3, "the size", in.size)) return false;
        in.modified = std::string(f_[4]);
        if (!text(5, "the path", in.path)) return false;
        r_.inputs.push_back(std::move(in));
        return true;
    }

    bool on_number() {
        if (!fields(3)) return false;
        ReadNumbers& n = r_.numbers;
        if (count_ > k_read_numbers.size()) {
            if (f_[1] != k_duplicate_share_key) return bad("a line after the last SN line, " + std::string(k_duplicate_share_key));
            return share(2, k_duplicate_share_key, n.duplicate_share);
        }
        const NumberKey& key = k_read_numbers[count_ - 1];
        if (f_[1] != key.name) return bad(std::string("expected SN ") + key.name + ", found " + quoted(f_[1]));
        if (key.count == &ReadNumbers::read_pairs) r_.read_pairs_line = in_.line_no();
        return count(2, key.name, key.count ? n.*key.count : (n.*key.mates)[static_cast<std::size_t>(key.mate)]);
    }

    // The mate and value of a LEN, QUAL or GC line rise together; reads is at least 1.
    bool rising(std::uint64_t m, std::uint64_t value, std::uint64_t reads) {
        if (m < last_mate_ || (m == last_mate_ && value <= last_value_ && count_ > 1))
            return bad("the line does not come after the one before it (mate 1 first, values rising)");
        if (reads == 0) return bad("a line with no reads");
        sums_[m - 1] += reads;
        if (sums_[m - 1] > r_.numbers.read_pairs)
            return bad("more reads than the " + std::to_string(r_.numbers.read_pairs) + " of read_pairs");
        last_mate_ = m;
        last_value_ = value;
        return true;
    }

    bool on_length() {
        std::uint64_t m = 0, len = 0, reads = 0;
        if (!fields(4) || !mate(m)) return false;
        if (f_[2] == k_longer_reads)
            len = k_length_bound + 1;
        else if (!count(2, "the length", len) || len > k_length_bound)
            return bad("the length " + quoted(f_[2]) + " is neither a count up to 1000 nor " + std::string(k_longer_reads));
        if (!count(3, "reads", reads) || !rising(m, len, reads)) return false;
        r_.mates[m - 1].lengths.emplace_back(len, reads);
        return true;
    }

    bool on_distribution(int which, std::uint64_t top) {
        std::uint64_t m = 0, value = 0, reads = 0;
        if (!fields(4) || !mate(m) || !count(2, which == quality ? "the mean score" : "the GC percent", value)) return false;
        if (value > top) return bad(quoted(f_[2]) + " is beyond " + std::to_string(top));
        if (!count(3, "reads", reads) || !rising(m, value, reads)) return false;
        (which == quality ? r_.mates[m - 1].mean_quality[value] : r_.mates[m - 1].gc[value]) = reads;
        return true;
    }

    bool on_adapter() {
        std::uint64_t m = 0, cycle = 0;
        if (!fields(3 + k_adapters.size()) || !mate(m) || !count(2, "the cycle", cycle)) return false;
        auto& rows = r_.mates[m - 1].adapters;
        if (m < last_mate_ || cycle != rows.size() + 1)
            return bad("expected cycle " + std::to_string(rows.size() + 1) + " of read " + std::to_string(m) + ", found " +
                       quoted(f_[2]));
        last_mate_ = m;
        std::array<std::uint64_t, k_adapters.size()> row{};
        for (std::size_t a = 0; a < row.size(); ++a) {
            if (!count(3 + a, k_adapters[a].name, row[a])) return false;
            if (row[a] > r_.numbers.read_pairs || (!rows.empty() && row[a] < rows.back()[a]))
                return bad(std::string(k_adapters[a].name) + " " + quoted(f_[3 + a]) +
                           " falls below the cycle before or passes read_pairs");
        }
        rows.push_back(row);
        return true;
    }

    bool on_dup() {
        if (count_ > k_dup_levels) return bad("more than the 10 DUP lines");
        const std::string level = std::to_string(count_) + (count_ == k_dup_levels ? "+" : "");
        if (!fields(5)) return false;
        if (f_[1] != level) return bad("expected copies " + level + ", found " + quoted(f_[1]));
        DupRow& d = r_.dup[count_ - 1];
        return count(2, "sequences", d.sequences) && count(3, "pairs", d.pairs) && share(4, "the share", d.share);
    }

    bool on_over() {
        OverRow o;
        if (!fields(7) || !count(1, "pairs", o.pairs) || !share(2, "the share", o.share) || !text(3, "read 1", o.read1) ||
            !text(4, "read 2", o.read2))
            return false;
        if (o.pairs == 0 || o.pairs > r_.numbers.read_pairs) return bad("pairs " + quoted(f_[1]) + " is not within read_pairs");
        for (std::size_t i : {5, 6}) {
            bool known = f_[i] == "-";
            for (const Adapter& a : k_adapters) known = known || f_[i] == a.name;
            if (!known) return bad("the adapter " + quoted(f_[i]) + " is none of those looked for");
        }
        o.adapter1 = std::string(f_[5]);
        o.adapter2 = std::string(f_[6]);
        r_.over.push_back(std::move(o));
        return true;
    }
};

}  // namespace

bool same_run(const ReadStatsReport& r, const std::string& path, const RunTotals& t, const std::string& totstat,
              std::string& error) {
    if (!r.present || 2 * r.numbers.read_pairs == t.pair_number) return true;
    error = "Error: " + path + " line " + std::to_string(r.read_pairs_line) + ": read_pairs " +
            std::to_string(r.numbers.read_pairs) + " is not half of pair_number " + std::to_string(t.pair_number) +
            " in " + totstat + " (reports of different runs?)";
    return false;
}

bool load_read_stats(const std::string& path, ReadStatsReport& r, std::string& error) {
    r = ReadStatsReport{};
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 && errno == ENOENT) return true;
    ReportReader in;
    if (!in.open(path, error)) return false;
    std::string_view line;
    if (!in.next(line))
        return in.failed() ? in.read_error(error)
                           : in.bad_line(error, 1, "the file is empty; expected " + quoted(k_read_stats_first_line));
    if (line != k_read_stats_first_line)
        return in.bad_line(error, "expected " + quoted(k_read_stats_first_line) + ", found " + quoted(line));
    Parser p(in, r, error);
    while (in.next(line))
        if (line.empty() || line.front() != '#')
            if (!p.line(line)) return false;
    if (in.failed()) return in.read_error(error);
    if (!p.finish()) return false;
    r.present = true;
    return true;
}

}  // namespace wes::qc
