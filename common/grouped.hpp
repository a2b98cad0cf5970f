// Counts as people read them: digits grouped by three with commas ("4,101,233"), as the
// progress line and the QC page show them.
#pragma once

#include <cstdint>
#include <string>

namespace wes {

inline std::string grouped(std::uint64_t n) {
    const std::string digits = std::to_string(n);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out.push_back(',');
        out.push_back(digits[i]);
    }
    return out;
}

}  // namespace wes
