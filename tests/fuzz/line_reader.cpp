// The line reader over every route: the input as it is, and the input gzip-compressed
// here in one or more members (plain gzip or BGZF blocks), whole, cut short or with one
// byte changed, inflated in this thread or ahead on a second one, handed over whole or
// a few bytes at a time, and now and then repeated past the reader's 1 MiB buffers so
// that lines straddle them (a line of over 1 MiB among them). Whole data must give the
// plain split on '\n'; damaged data must end in an error or, where the damage is
// harmless, in exactly the whole lines.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <zlib.h>

#include "fuzz_check.hpp"
#include "line_reader.hpp"

namespace {

using wes::LineReader;

// A source that hands out at most piece bytes a read.
class Trickle final : public wes::ByteSource {
public:
    Trickle(std::unique_ptr<wes::ByteSource> in, std::size_t piece) : in_(std::move(in)), piece_(piece) {}
    std::ptrdiff_t fill(wes::Buffer& b) override {
        const std::size_t size = b.size;
        b.size = std::min(size, b.end + piece_);
        std::ptrdiff_t got = in_->fill(b);
        b.size = size;
        if (got < 0) error_ = in_->error();
        return got;
    }
    bool verify_so_far() override {
        if (in_->verify_so_far()) return true;
        error_ = in_->error();
        return false;
    }
    bool compressed() const override { return in_->compressed(); }

private:
    std::unique_ptr<wes::ByteSource> in_;
    std::size_t piece_;
};

struct Got {
    std::size_t lines = 0;
    bool as_wanted = true;     // every line handed out was the next line of the text
    bool all_newline = true;   // and each had its newline
    LineReader::Status end = LineReader::Status::eof;
    std::string error;
    bool verified = true;      // what verify_so_far said, when it was called
};

// Reads bytes, comparing each line with the next of want. With finish_after, stops
// after that many lines to verify what was read instead.
Got read_all(std::string bytes, LineReader::Inflate mode, std::size_t piece, std::string_view want,
             std::size_t finish_after = SIZE_MAX) {
    std::unique_ptr<wes::ByteSource> src = wes::memory_byte_source(std::move(bytes));
    if (piece) src = std::make_unique<Trickle>(std::move(src), piece);
    LineReader r(std::move(src), "fuzz", mode);
    Got g;
    std::string_view line;
    bool nl;
    std::size_t at = 0;
    while ((g.end = r.next(line, nl)) == LineReader::Status::line) {
        ++g.lines;
        FUZZ_CHECK(r.line_number() == g.lines);
        const std::size_t e = at < want.size() ? std::min(want.find('\n', at), want.size()) : at;
        g.as_wanted = g.as_wanted && at < want.size() && line == want.substr(at, e - at) && nl == (e < want.size());
        g.all_newline = g.all_newline && nl;
        at = e + 1;
        if (g.lines == finish_after) {
            g.verified = r.verify_so_far();
            break;
        }
    }
    g.error = r.error();
    FUZZ_CHECK((g.end == LineReader::Status::error) == !g.error.empty());
    return g;
}

std::size_t count_lines(std::string_view text, bool complete_only = false) {
    const auto nl = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
    return nl + (!complete_only && !text.empty() && text.back() != '\n');
}

void put32(std::string& s, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>(v >> (8 * i)));
}

// One gzip member holding data, with a plain or a BGZF header (the reader takes the
// block size as it comes, so a member larger than BGZF allows is no matter).
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
    put32(m, static_cast<std::uint32_t>(
                 crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size()))));
    put32(m, static_cast<std::uint32_t>(data.size()));
    return m;
}

const std::string bgzf_eof("\x1f\x8b\x08\x04\0\0\0\0\0\xff\x06\0BC\x02\0\x1b\0\x03\0\0\0\0\0\0\0\0\0", 28);

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The last bytes choose the route. Last byte: members - 1 (bits 0-1), BGZF (2),
    // inflate ahead (3), stored blocks (4), what is done with the compressed data (5-7).
    // The byte before: stretch (bits 0-2 all clear), trickle (3), and a number for the
    // rest (the trickle's piece, where to cut or what to change).
    const std::uint32_t ctl = fuzz::tail_word(data, size);
    const std::uint32_t mix = (ctl >> 12) * 2654435761u;
    // A stretched input (one whose lines are 64 bytes long on average, or a long line
    // when it has no newline) is repeated to a little over 1 MiB.
    std::string text(reinterpret_cast<const char*>(data), size);
    const bool stretch = size > 0 && (ctl >> 8 & 7) == 0 && count_lines(text, true) * 64 <= size;
    if (stretch)
        for (std::size_t want = (std::size_t{1} << 20) + size * (mix >> 28); text.size() < want;)
            text.append(reinterpret_cast<const char*>(data), size);
    const auto mode = (ctl & 8) ? LineReader::Inflate::ahead_when_it_pays : LineReader::Inflate::in_this_thread;
    const std::size_t piece = (ctl >> 11 & 1) ? 1 + mix % (stretch ? 65536 : 64) : 0;

    // The input as it is: text, or compressed data of any shape (read_all checks that it
    // ends in an error or the end of the data).
    Got raw = read_all(text, LineReader::Inflate::in_this_thread, piece, text);
    if (size < 2 || data[0] != 0x1f || data[1] != 0x8b)
        FUZZ_CHECK(raw.as_wanted && raw.lines == count_lines(text) && raw.end == LineReader::Status::eof);

    // The input compressed: n members over equal slices of it, and the BGZF end block.
    const std::size_t n = 1 + (ctl & 3);
    const bool bgzf = ctl & 4;
    const int level = (ctl >> 4 & 1) ? 0 : stretch ? 1 : 6;
    std::string gz;
    std::vector<std::size_t> member_at, text_at;  // where each member starts, and its slice
    const std::size_t len = text.size();
    for (std::size_t i = 0; i < n; ++i) {
        member_at.push_back(gz.size());
        text_at.push_back(len * i / n);
        gz += member(std::string_view(text).substr(len * i / n, len * (i + 1) / n - len * i / n), bgzf, level);
    }
    member_at.push_back(gz.size());
    text_at.push_back(len);
    if (bgzf) gz += bgzf_eof;

    // One route of the compressed data per input (each costs a few MiB of fresh buffers,
    // which is slow under the sanitizers).
    switch (ctl >> 5 & 7) {
        case 0:
        case 1: {  // whole: the lines of the input
            Got whole = read_all(gz, mode, piece, text);
            FUZZ_CHECK(whole.as_wanted && whole.lines == count_lines(text) && whole.end == LineReader::Status::eof);
            break;
        }
        case 2:  // the rest of a sound member checks out, wherever the reading stops
            FUZZ_CHECK(read_all(gz, mode, piece, text, 1 + mix % 16).verified);
            break;
        case 3:    // cut between two members, or before the BGZF end block
        case 4:
        case 5: {  // cut anywhere after the magic
            const std::size_t c = (ctl >> 5 & 7) == 3 ? member_at[1 + mix % n] : 2 + mix % (gz.size() - 2);
            std::size_t b = 1;
            while (b <= n && member_at[b] != c) ++b;
            const std::string_view before = std::string_view(text).substr(0, b <= n ? text_at[b] : len);
            Got cut = read_all(gz.substr(0, c), mode, piece, before);
            FUZZ_CHECK(cut.as_wanted);
            // An empty BGZF block is the end block itself.
            const std::size_t k = bgzf_eof.size();
            const bool ends_clean = !bgzf || (c >= k && gz.compare(c - k, k, bgzf_eof) == 0);
            if (b <= n && ends_clean) {  // the members before the cut
                FUZZ_CHECK(cut.lines == count_lines(before) && cut.end == LineReader::Status::eof);
            } else if (b <= n) {  // BGZF: every complete line of them, then the error
                FUZZ_CHECK(cut.lines == count_lines(before, true) && cut.all_newline);
                FUZZ_CHECK(cut.error == "truncated (no BGZF end-of-file block)");
            } else {  // inside a member: an error after complete lines only
                FUZZ_CHECK(cut.end == LineReader::Status::error && cut.all_newline);
            }
            break;
        }
        default: {  // one byte changed after the magic: an error or (a header byte that
                    // nothing reads) exactly the lines of the whole data; never other data
                    // reported as complete
            std::string bad = gz;
            const std::size_t at = 2 + mix % (gz.size() - 2);
            bad[at] = static_cast<char>(bad[at] ^ (1 + (mix >> 20) % 255));
            Got damaged = read_all(bad, mode, piece, text);
            if (damaged.end == LineReader::Status::eof)
                FUZZ_CHECK(damaged.as_wanted && damaged.lines == count_lines(text));
            break;
        }
    }
    return 0;
}
