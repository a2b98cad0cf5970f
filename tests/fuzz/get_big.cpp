// get_big against a plain reference of its rule and, where the rule is C's formatted
// scan "%*[^0-9]%d" five times (a text without NUL whose numbers fit an int), against
// that scan itself.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "fuzz_check.hpp"
#include "get_big.hpp"

namespace {

bool digit(char c) { return c >= '0' && c <= '9'; }

// Up to five numbers, each after a run of non-digits; a number past INT_MAX is INT_MAX.
int naive_get_big(std::string_view s, bool& fits) {
    int big = 0;
    std::size_t i = 0;
    fits = true;
    for (int k = 0; k < 5 && i < s.size() && !digit(s[i]); ++k) {
        while (i < s.size() && !digit(s[i])) ++i;
        if (i == s.size()) break;
        std::size_t b = i;
        while (i < s.size() && digit(s[i])) ++i;
        std::string_view num = s.substr(b, i - b);
        while (num.size() > 1 && num[0] == '0') num.remove_prefix(1);
        long long v = num.size() > 10 ? LLONG_MAX : std::stoll(std::string(num));
        if (v > INT_MAX) fits = false;
        big = std::max(big, v > INT_MAX ? INT_MAX : static_cast<int>(v));
    }
    return big;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    bool fits;
    const int want = naive_get_big(text, fits);
    FUZZ_CHECK(wes::get_big(text) == want);
    if (fits && std::strlen(text.c_str()) == size) {
        int n[5] = {0, 0, 0, 0, 0};
        std::sscanf(text.c_str(), "%*[^0-9]%d%*[^0-9]%d%*[^0-9]%d%*[^0-9]%d%*[^0-9]%d", &n[0], &n[1], &n[2], &n[3],
                    &n[4]);
        int big = 0;
        for (int v : n) big = v > big ? v : big;
        FUZZ_CHECK(big == want);
    }
    return 0;
}
