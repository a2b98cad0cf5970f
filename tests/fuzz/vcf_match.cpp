// The one-pass VCF line matcher against glibc's regexec of the expression it stands for
// (REG_EXTENDED): the same lines taken, the same eight groups. The expression sees a C
// string, so it is given the line up to its first NUL; the matcher the whole line.
#include <cctype>
#include <cstdint>
#include <regex.h>
#include <string>

#include "fuzz_check.hpp"
#include "vcf_match.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static regex_t re = [] {
        regex_t r;
        std::string msg;
        FUZZ_CHECK(wes::vcf::compile_expression(wes::vcf::vcf_expression, r, msg));
        return r;
    }();
    const std::string line(reinterpret_cast<const char*>(data), size);

    regmatch_t m[10];
    const bool want = regexec(&re, line.c_str(), 10, m, 0) == 0;
    wes::vcf::LineFields f;
    FUZZ_CHECK(wes::vcf::match_vcf_line(line, f) == want);
    if (want) {
        FUZZ_CHECK(m[9].rm_so == -1);
        for (int g = 0; g < 8; ++g) {
            FUZZ_CHECK(f.group[g].data() - line.data() == m[g + 1].rm_so);
            FUZZ_CHECK(static_cast<regoff_t>(f.group[g].size()) == m[g + 1].rm_eo - m[g + 1].rm_so);
        }
    }

    std::size_t i = 0;
    while (i < size && std::isspace(data[i])) ++i;
    FUZZ_CHECK(wes::vcf::has_chr_prefix(line) == (line.compare(i, 3, "chr") == 0));
    return 0;
}
