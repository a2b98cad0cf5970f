// The field scanner against plain references: fields split with std::isspace, integers
// read with strtoll and a range check, pieces split as strtok splits them.
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include "fields.hpp"
#include "fuzz_check.hpp"

namespace {

std::vector<std::string_view> naive_fields(std::string_view s) {
    std::vector<std::string_view> out;
    std::size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
        std::size_t b = i;
        while (i < s.size() && !std::isspace(static_cast<unsigned char>(s[i]))) ++i;
        if (i > b) out.push_back(s.substr(b, i - b));
    }
    return out;
}

// The whole text a decimal integer in the range of T.
template <typename T>
bool naive_int(std::string_view s, T& out) {
    const std::string c(s);
    if (c.empty() || c.size() != std::strlen(c.c_str()) || std::isspace(static_cast<unsigned char>(c[0]))) return false;
    char* end;
    errno = 0;
    long long v = std::strtoll(c.c_str(), &end, 10);
    if (end != c.c_str() + c.size() || errno == ERANGE) return false;
    if (v < std::numeric_limits<T>::min() || v > std::numeric_limits<T>::max()) return false;
    out = static_cast<T>(v);
    return true;
}

template <typename T>
void check_int(std::string_view s) {
    T got = 7, want = 7;
    const bool ok = wes::parse_int(s, got);
    FUZZ_CHECK(ok == naive_int(s, want));
    FUZZ_CHECK(got == want);  // also: left alone when it is no integer
    wes::FieldCursor f(s);
    T next = 7;
    FUZZ_CHECK(f.next_int(next) == (naive_fields(s).size() > 0 && naive_int(naive_fields(s)[0], want)));
}

// next_is(known) at the start of text: known followed by white space.
void check_next_is(std::string_view text, std::string_view known) {
    const bool want = !known.empty() && text.size() > known.size() && text.substr(0, known.size()) == known &&
                      std::isspace(static_cast<unsigned char>(text[known.size()]));
    wes::FieldCursor f(text);
    FUZZ_CHECK(f.next_is(known) == want);
    if (want) FUZZ_CHECK(f.rest() == text.substr(known.size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string_view> want = naive_fields(text);

    wes::FieldCursor f(text);
    std::string_view field;
    for (std::string_view w : want) {
        FUZZ_CHECK(f.next(field));
        FUZZ_CHECK(field.data() == w.data() && field.size() == w.size());
        FUZZ_CHECK(f.rest().data() == w.data() + w.size() && f.rest().data() + f.rest().size() == text.data() + size);
    }
    FUZZ_CHECK(!f.next(field) && f.rest().empty() && f.next().empty());
    FUZZ_CHECK(wes::first_word(text) == (want.empty() ? std::string_view() : want[0]));
    FUZZ_CHECK(wes::is_blank(text) == want.empty());

    check_next_is(text, want.empty() ? std::string_view() : want[0]);
    if (!want.empty()) check_next_is(text, want[0].substr(0, want[0].size() - 1));
    if (want.size() > 1) check_next_is(text, want[1]);

    check_int<std::int32_t>(text);
    check_int<std::int64_t>(text);
    for (std::string_view w : want) {
        check_int<std::int32_t>(w);
        check_int<std::int64_t>(w);
    }

    // Pieces between separators (the middle byte), empty pieces skipped.
    const char sep = size ? text[size / 2] : '\t';
    std::string_view rest = text, piece;
    std::vector<std::string_view> pieces;
    while (wes::next_piece(rest, sep, piece)) pieces.push_back(piece);
    FUZZ_CHECK(rest.empty());
    std::vector<std::string_view> want_pieces;
    for (std::size_t b = 0; b <= size;) {
        std::size_t e = text.find(sep, b);
        if (e == std::string_view::npos) e = size;
        if (e > b) want_pieces.push_back(text.substr(b, e - b));
        b = e + 1;
    }
    FUZZ_CHECK(pieces == want_pieces);
    return 0;
}
