#include "get_big.hpp"

#include <climits>

namespace wes {
namespace {
constexpr bool is_digit(char c) { return c >= '0' && c <= '9'; }
constexpr int k_max_numbers = 5;
}  // namespace

int get_big(std::string_view text) {
    const char* p = text.data();
    const char* e = p + text.size();
    int big = 0;
    for (int k = 0; k < k_max_numbers; ++k) {
        // A run of one or more non-digits, then the number; anything else ends the scan.
        if (p == e || is_digit(*p)) break;
        while (p < e && !is_digit(*p)) ++p;
        if (p == e) break;
        long long v = 0;
        for (; p < e && is_digit(*p); ++p) {
            if (v <= INT_MAX) v = v * 10 + (*p - '0');
        }
        int n = v > INT_MAX ? INT_MAX : static_cast<int>(v);
        if (n > big) big = n;
    }
    return big;
}

}  // namespace wes
