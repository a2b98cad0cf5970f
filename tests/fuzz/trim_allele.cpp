// trim_allele against its stated rules: the input is "pos ref alt" (blank separated; a
// position that does not read is taken as 1000). The results are "-" or pieces of the
// inputs at the place that start names, and agree with a plain reference of the rules.
#include <cstdint>
#include <string>

#include "fields.hpp"
#include "fuzz_check.hpp"
#include "trim_allele.hpp"

namespace {

using wes::vcf::TrimmedAllele;

// The rules of the header as written, on offsets into the two texts.
bool reference(std::int64_t pos, std::string_view ref, std::string_view alt, TrimmedAllele& out) {
    std::size_t lead = 0, trail = 0;
    if (ref.size() >= 2 && alt.size() >= 2) {
        const std::size_t n = std::min(ref.size(), alt.size());
        if (ref[0] == alt[0])
            while (lead < n && ref[lead] == alt[lead]) ++lead;
        else
            while (trail < n && ref[ref.size() - 1 - trail] == alt[alt.size() - 1 - trail]) ++trail;
    }
    std::string_view r = ref.substr(lead, ref.size() - lead - trail), a = alt.substr(lead, alt.size() - lead - trail);
    const std::int64_t s = pos + static_cast<std::int64_t>(lead), R = static_cast<std::int64_t>(r.size()),
                       A = static_cast<std::int64_t>(a.size());
    if (R == 0 && A == 0) return false;
    if (R == 0)
        out = {s - 1, s, "-", a};
    else if (A == 0)
        out = {s, s + R - 1, r, "-"};
    else if (R == 1 && A == 1)
        out = {s, s, r, a};
    else if (R == 1)
        out = {s, s + 1, "-", a.substr(1)};
    else if (A == 1)
        out = {s + 1, s + R - 1, r.substr(1), "-"};
    else
        out = {s, s + R - 1, r, a};
    return true;
}

// text is "-" or a piece of whole; returns the piece's offset, or -1 for "-".
std::int64_t offset_in(std::string_view text, std::string_view whole) {
    if (text.data() >= whole.data() && text.data() + text.size() <= whole.data() + whole.size())
        return text.data() - whole.data();
    FUZZ_CHECK(text == "-");
    return -1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    wes::FieldCursor f(std::string_view(reinterpret_cast<const char*>(data), size));
    std::int32_t p32 = 1000;
    wes::parse_int(f.next(), p32);
    const std::int64_t pos = p32;
    const std::string ref(f.next()), alt(f.next());

    TrimmedAllele got, want;
    const bool ok = wes::vcf::trim_allele(pos, ref, alt, got);
    FUZZ_CHECK(ok == reference(pos, ref, alt, want));
    FUZZ_CHECK(ok || ref == alt);
    if (!ok) return 0;
    FUZZ_CHECK(got.start == want.start && got.end == want.end && got.ref == want.ref && got.alt == want.alt);

    const std::int64_t r_at = offset_in(got.ref, ref), a_at = offset_in(got.alt, alt);
    const auto r_len = static_cast<std::int64_t>(got.ref.size());
    FUZZ_CHECK(!got.ref.empty() && !got.alt.empty());
    FUZZ_CHECK(r_at >= 0 || a_at >= 0);
    if (r_at < 0) {
        // An insertion between start and end = start + 1.
        FUZZ_CHECK(got.end == got.start + 1 && a_at == got.start + 1 - pos);
    } else {
        // The reference piece covers start .. end.
        FUZZ_CHECK(r_at == got.start - pos && got.end - got.start + 1 == r_len);
        if (a_at >= 0) FUZZ_CHECK(a_at == r_at);  // both trimmed alike
    }
    return 0;
}
