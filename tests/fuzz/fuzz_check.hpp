// What every fuzz target shares: a failed check prints what failed and aborts, which
// the fuzzer reports as a crash and keeps the input that caused it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#define FUZZ_CHECK(cond)                                                                     \
    do {                                                                                     \
        if (!(cond)) {                                                                       \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                                    \
        }                                                                                    \
    } while (0)

namespace fuzz {

// The plain split on '\n'; a last line without a newline is a line too.
inline std::vector<std::string_view> split_lines(std::string_view s) {
    std::vector<std::string_view> lines;
    std::size_t b = 0;
    while (b < s.size()) {
        std::size_t e = s.find('\n', b);
        if (e == std::string_view::npos) e = s.size();
        lines.push_back(s.substr(b, e - b));
        b = e + 1;
    }
    return lines;
}

// Up to four bytes from the end of the input as a number, the last byte lowest: the
// choices of a target (which route, where to cut), steered by the fuzzer like any
// other byte.
inline std::uint32_t tail_word(const std::uint8_t* data, std::size_t size) {
    std::uint32_t w = 0;
    for (std::size_t i = 0; i < 4 && i < size; ++i) w |= static_cast<std::uint32_t>(data[size - 1 - i]) << (8 * i);
    return w;
}

}  // namespace fuzz
