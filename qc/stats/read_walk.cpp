#include "read_walk.hpp"

namespace wes::qc {
namespace {

// A line as its text buffer prints with "%s": the line and its newline, cut at the
// first NUL byte.
void append_as_buffer(std::string& out, std::string_view line, bool newline) {
    std::size_t nul = line.find('\0');
    if (nul != std::string_view::npos) {
        out.append(line.substr(0, nul));
        return;
    }
    out.append(line);
    if (newline) out.push_back('\n');
}

}  // namespace

std::string quality_error_text(int mate, const ReadLines& r, const BadQuality& bad) {
    std::string out;
    if (mate == 2) {
        out = "MQ error !\t:" + std::to_string(bad.q) + "\n";
        return out;
    }
    out = "MQ error !\n";
    append_as_buffer(out, r.seq, true);
    out.push_back('\n');
    append_as_buffer(out, r.qual, r.qual_newline);
    out.push_back('\n');
    out += std::to_string(bad.pos);
    out.push_back('\n');
    if (bad.byte != '\0') out.push_back(bad.byte);
    out.push_back('\n');
    out += std::to_string(bad.q);
    out.push_back('\n');
    return out;
}

}  // namespace wes::qc
