// The line reader over every route: the input as it is, and the input gzip-compressed
// here in one or more members (plain gzip or BGZF blocks), whole, cut short or with one
// byte changed, inflated in this thread or ahead on a second one. Whole data must give
// the plain split on '\n'; damaged data must end in an error or, where the damage is
// harmless, in exactly the lines of the whole data.
#include <cstdint>
#include <cstring>
#include <string>
#include <zlib.h>

#include "fuzz_check.hpp"
#include "line_reader.hpp"

namespace {

using wes::LineReader;

struct Got {
    std::vector<std::string> lines;
    std::vector<bool> newline;
    LineReader::Status end = LineReader::Status::eof;
    std::string error;
    bool member_ok = true;  // what finish_member said, when it was called
};

// Reads every line; with finish_after, stops after that many lines to check the rest
// of the current gzip member instead.
Got read_all(std::string bytes, LineReader::Inflate mode, std::size_t finish_after = SIZE_MAX) {
    LineReader r(wes::memory_byte_source(std::move(bytes)), "fuzz", mode);
    Got g;
    std::string_view line;
    bool nl;
    while ((g.end = r.next(line, nl)) == LineReader::Status::line) {
        g.lines.emplace_back(line);
        g.newline.push_back(nl);
        FUZZ_CHECK(r.line_number() == g.lines.size());
        if (g.lines.size() == finish_after) {
            g.member_ok = r.finish_member();
            break;
        }
    }
    g.error = r.error();
    FUZZ_CHECK((g.end == LineReader::Status::error) == !g.error.empty());
    return g;
}

// The lines of text; complete_only drops a last line that lacks its newline.
void expect_lines(const Got& g, std::string_view text, bool complete_only = false) {
    std::vector<std::string_view> want = fuzz::split_lines(text);
    const bool open_end = !text.empty() && text.back() != '\n';
    if (complete_only && open_end) want.pop_back();
    FUZZ_CHECK(g.lines.size() == want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
        FUZZ_CHECK(g.lines[i] == want[i]);
        FUZZ_CHECK(g.newline[i] == (i + 1 < want.size() || !open_end || complete_only));
    }
}

void put32(std::string& s, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>(v >> (8 * i)));
}

// One gzip member holding data, with a plain or a BGZF header.
std::string member(std::string_view data, bool bgzf, int level) {
    z_stream z{};
    FUZZ_CHECK(deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) == Z_OK);
    std::string body(deflateBound(&z, data.size()), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(body.data());
    z.avail_out = static_cast<uInt>(body.size());
    FUZZ_CHECK(deflate(&z, Z_FINISH) == Z_STREAM_END);
    body.resize(z.total_out);
    deflateEnd(&z);
    std::string m = bgzf ? std::string("\x1f\x8b\x08\x04\0\0\0\0\0\xff\x06\0BC\x02\0", 16)
                         : std::string("\x1f\x8b\x08\0\0\0\0\0\0\xff", 10);
    if (bgzf) {
        const std::size_t bsize = m.size() + 2 + body.size() + 8 - 1;
        m.push_back(static_cast<char>(bsize & 0xff));
        m.push_back(static_cast<char>(bsize >> 8 & 0xff));
    }
    m += body;
    put32(m, static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size()))));
    put32(m, static_cast<std::uint32_t>(data.size()));
    return m;
}

const std::string bgzf_eof("\x1f\x8b\x08\x04\0\0\0\0\0\xff\x06\0BC\x02\0\x1b\0\x03\0\0\0\0\0\0\0\0\0", 28);

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::uint32_t ctl = fuzz::tail_word(data, size);
    const auto here = LineReader::Inflate::in_this_thread;
    const auto ahead = LineReader::Inflate::ahead_when_it_pays;
    const auto mode = (ctl & 8) ? ahead : here;

    // The input as it is: text, or compressed data of any shape (read_all checks that it
    // ends in an error or the end of the data).
    Got raw = read_all(text, here);
    if (size < 2 || data[0] != 0x1f || data[1] != 0x8b) {
        expect_lines(raw, text);
        FUZZ_CHECK(raw.end == LineReader::Status::eof);
    }

    // The input compressed: n members over equal slices of it, and the BGZF end block.
    const std::size_t n = 1 + (ctl & 3);
    const bool bgzf = ctl & 4;
    const int level = (ctl >> 4 & 1) ? 0 : 6;
    std::string gz;
    std::vector<std::size_t> member_at, text_at;  // where each member starts, and its slice
    for (std::size_t i = 0; i < n; ++i) {
        member_at.push_back(gz.size());
        text_at.push_back(size * i / n);
        gz += member(std::string_view(text).substr(size * i / n, size * (i + 1) / n - size * i / n), bgzf, level);
    }
    member_at.push_back(gz.size());
    text_at.push_back(size);
    if (bgzf) gz += bgzf_eof;

    // One route of the compressed data per input (each costs a few MiB of fresh buffers,
    // which is slow under the sanitizers), in this thread or ahead on a second one.
    const std::uint32_t mix = ctl * 2654435761u;
    switch (ctl >> 5 & 7) {
        case 0:
        case 1: {  // whole: the lines of the input
            Got whole = read_all(gz, mode);
            expect_lines(whole, text);
            FUZZ_CHECK(whole.end == LineReader::Status::eof);
            break;
        }
        case 2:  // the rest of a sound member checks out, wherever the reading stops
            FUZZ_CHECK(read_all(gz, mode, 1 + (mix >> 8) % 16).member_ok);
            break;
        case 3:    // cut between two members, or before the BGZF end block
        case 4:
        case 5: {  // cut anywhere after the magic
            const std::size_t c = (ctl >> 5 & 7) == 3 ? member_at[1 + (mix >> 8) % n] : 2 + (mix >> 8) % (gz.size() - 2);
            Got cut = read_all(gz.substr(0, c), mode);
            std::size_t b = 1;
            while (b <= n && member_at[b] != c) ++b;
            if (b <= n && !bgzf) {  // plain gzip: the members before the cut
                expect_lines(cut, std::string_view(text).substr(0, text_at[b]));
                FUZZ_CHECK(cut.end == LineReader::Status::eof);
            } else if (b <= n) {  // BGZF: every complete line of them, then the error
                expect_lines(cut, std::string_view(text).substr(0, text_at[b]), true);
                FUZZ_CHECK(cut.error == "truncated (no BGZF end-of-file block)");
            } else {  // inside a member: an error after complete lines only
                FUZZ_CHECK(cut.end == LineReader::Status::error);
                std::vector<std::string_view> want = fuzz::split_lines(text);
                FUZZ_CHECK(cut.lines.size() <= want.size());
                for (std::size_t i = 0; i < cut.lines.size(); ++i)
                    FUZZ_CHECK(cut.newline[i] && cut.lines[i] == want[i]);
            }
            break;
        }
        default: {  // one byte changed after the magic: an error or (a header byte that
                    // nothing reads) exactly the lines of the whole data; never other data
                    // reported as complete
            std::string bad = gz;
            const std::size_t at = 2 + (mix >> 4) % (gz.size() - 2);
            bad[at] = static_cast<char>(bad[at] ^ (1 + (mix >> 20) % 255));
            Got damaged = read_all(bad, mode);
            if (damaged.end == LineReader::Status::eof) expect_lines(damaged, text);
            break;
        }
    }
    return 0;
}
