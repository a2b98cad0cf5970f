#include "trim_allele.hpp"

namespace wes::vcf {

bool trim_allele(std::int64_t pos, std::string_view ref, std::string_view alt, TrimmedAllele& out) {
    static constexpr std::string_view dash = "-";
    std::int64_t start = pos;
    if (ref.size() >= 2 && alt.size() >= 2) {
        if (ref.front() == alt.front()) {
            while (!ref.empty() && !alt.empty() && ref.front() == alt.front()) {
                ref.remove_prefix(1);
                alt.remove_prefix(1);
                ++start;
            }
        } else {
            while (!ref.empty() && !alt.empty() && ref.back() == alt.back()) {
                ref.remove_suffix(1);
                alt.remove_suffix(1);
            }
        }
    }
    const auto r = static_cast<std::int64_t>(ref.size());
    const auto a = static_cast<std::int64_t>(alt.size());
    std::int64_t end;
    if (r == 0) {
        if (a == 0) return false;
        --start;
        end = start + 1;
        ref = dash;
    } else if (a == 0) {
        end = start + r - 1;
        alt = dash;
    } else if (r == 1 && a == 1) {
        end = start;
    } else if (r == 1) {
        end = start + 1;
        ref = dash;
        alt.remove_prefix(1);
    } else if (a == 1) {
        end = start + r - 1;
        ++start;
        alt = dash;
        ref.remove_prefix(1);
    } else {
        end = start + r - 1;
    }
    out.start = start;
    out.end = end;
    out.ref = ref;
    out.alt = alt;
    return true;
}

}  // namespace wes::vcf
