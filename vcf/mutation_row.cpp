#include "mutation_row.hpp"

#include <charconv>

#include "numbers.hpp"

namespace wes::vcf {

std::string_view format_mq(float mq, char* buf) {
    return std::string_view(buf, format_fixed(static_cast<double>(mq), 4, buf));
}

namespace {
void append_int(std::string& out, std::int64_t v) {
    char tmp[24];
    auto r = std::to_chars(tmp, tmp + sizeof tmp, v);
    out.append(tmp, static_cast<std::size_t>(r.ptr - tmp));
}
}  // namespace

void append_row(std::string& out, const LineValues& line, const TrimmedAllele& allele, float ad) {
    char num[fixed_text_max];
    // The share is divided in single precision, as the table has always shown it.
    float fraction = ad / static_cast<float>(line.dp);
    out.append(line.chr);
    out += '\t';
    append_int(out, allele.start);
    out += '\t';
    append_int(out, allele.end);
    out += '\t';
    out.append(allele.ref);
    out += '\t';
    out.append(allele.alt);
    out += '\t';
    out.append(line.id);
    out += '\t';
    out.append(line.mq_text);
    out += '\t';
    out.append(num, format_fixed(static_cast<double>(ad), 0, num));
    out += '/';
    append_int(out, line.dp);
    out += '=';
    out.append(num, format_fixed(static_cast<double>(fraction), 4, num));
    out += '\n';
}

}  // namespace wes::vcf
