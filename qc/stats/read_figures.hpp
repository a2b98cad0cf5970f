// The figures of one read taken over the whole read: every byte of its sequence line and
// of its quality line (a carriage return ending either is its line end's, not the read's).
// The per-cycle walk (read_walk.hpp) is separate and unchanged by them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace wes::qc {

struct ReadFigures {
    std::size_t length = 0;       // bytes of the sequence line
    int gc_percent = -1;          // G and C (either case) among them, whole percent rounded; -1 without bytes
    int mean_quality = -1;        // whole part of the mean Phred+33 score of the quality line; -1 without bytes
    int adapter = -1;             // which of k_adapters starts first in the read, -1 none
    std::size_t adapter_at = 0;   // where it starts, from 0
};

// A line without the carriage return of a CRLF line end.
inline std::string_view without_cr(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
}

ReadFigures read_figures(std::string_view seq, std::string_view qual);

// The first adapter start in seq (k_adapters, upper or lower case): its index, and in at
// where it starts; -1 when none is there.
int find_adapter(std::string_view seq, std::size_t& at);

namespace detail {
// The scans a read's figures can be taken with: byte by byte (what the others must agree
// with), 16 bytes at a time, 32 at a time (where the processor has AVX2). read_figures
// takes the widest that runs.
enum class Scan { bytewise, sse2, avx2 };
bool scan_runs(Scan s);
ReadFigures read_figures_by(Scan s, std::string_view seq, std::string_view qual);
}  // namespace detail

}  // namespace wes::qc
