#include "report_lines.hpp"

#include <charconv>
#include <cmath>

namespace wes::qc {

bool ReportReader::open(const std::string& path, std::string& error) {
    if (reader_.open(path)) return true;
    error = reader_.failure_message();
    return false;
}

bool ReportReader::next(std::string_view& line) {
    LineReader::Status s = reader_.next(line);
    if (s == LineReader::Status::error) failed_ = true;
    if (s != LineReader::Status::line) return false;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return true;
}

bool ReportReader::read_error(std::string& error) const {
    error = reader_.failure_message();
    return false;
}

bool ReportReader::bad_line(std::string& error, std::uint64_t line, const std::string& what) const {
    error = "Error: " + reader_.path() + " line " + std::to_string(line) + ": " + what;
    return false;
}

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

}  // namespace wes::qc
