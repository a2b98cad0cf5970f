// BGZF files and their tabix (.tbi) and CSI (.csi) indexes, written in memory for the tests
// and the fuzz targets. Blocks hold block_size bytes of text, so that a small file spans
// many blocks; the index places each line by its first two tab-separated columns, as
// `tabix -s1 -b2 -e2` does (lines that begin with '#' and the first skip lines left out).
#pragma once

#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <string_view>
#include <vector>
#include <zlib.h>

namespace bgzf_writer {

struct File {
    std::string bytes;                  // the BGZF file, with its end-of-file block
    std::vector<std::uint64_t> blocks;  // where the block holding text[i * block_size...] begins
    std::size_t block_size = 0;
    std::uint64_t voffset(std::size_t text_at) const {
        return blocks[text_at / block_size] << 16 | (text_at % block_size);
    }
};

inline void put_le(std::string& s, std::uint64_t v, int n) {
    for (int i = 0; i < n; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xff));
}

inline void add_block(std::string& out, std::string_view piece) {
    std::vector<unsigned char> raw(compressBound(static_cast<uLong>(piece.size())) + 64);
    z_stream zs{};
    deflateInit2(&zs, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(piece.data()));
    zs.avail_in = static_cast<uInt>(piece.size());
    zs.next_out = raw.data();
    zs.avail_out = static_cast<uInt>(raw.size());
    deflate(&zs, Z_FINISH);
    const std::size_t clen = raw.size() - zs.avail_out;
    deflateEnd(&zs);
    const unsigned char head[16] = {0x1f, 0x8b, 8, 4, 0, 0, 0, 0, 0, 0xff, 6, 0, 'B', 'C', 2, 0};
    out.append(reinterpret_cast<const char*>(head), sizeof head);
    put_le(out, 18 + clen + 8 - 1, 2);
    out.append(reinterpret_cast<const char*>(raw.data()), clen);
    put_le(out, crc32(0, reinterpret_cast<const Bytef*>(piece.data()), static_cast<uInt>(piece.size())), 4);
    put_le(out, piece.size(), 4);
}

inline File compress(std::string_view text, std::size_t block_size = 60000, bool eof_block = true) {
    File f;
    f.block_size = block_size;
    for (std::size_t at = 0; at < text.size(); at += block_size) {
        f.blocks.push_back(f.bytes.size());
        add_block(f.bytes, text.substr(at, block_size));
    }
    f.blocks.push_back(f.bytes.size());
    if (eof_block) add_block(f.bytes, "");
    return f;
}

// The tabix description of the lines; the tests change it to make indexes that must not
// be followed.
struct Columns {
    std::int32_t format = 0, seq = 1, beg = 2, end = 2, meta = '#', skip = 0;
};

// The index of text, compressed as f (the index's own bytes, before they are compressed
// with compress()): csi for the CSI form (min_shift 14, depth 5).
inline std::string index(std::string_view text, const File& f, bool csi, const Columns& col = {}) {
    std::vector<std::string> names;
    std::map<std::string, std::size_t> tid;
    std::vector<std::map<std::uint64_t, std::uint64_t>> windows;  // per chromosome: window -> first offset
    std::size_t at = 0, line_no = 0;
    while (at < text.size()) {
        std::size_t nl = text.find('\n', at);
        if (nl == std::string_view::npos) nl = text.size();
        const std::string_view line = text.substr(at, nl - at);
        if (line_no++ >= static_cast<std::size_t>(col.skip) && !line.empty() && line[0] != col.meta) {
            const std::size_t tab = line.find('\t');
            const std::string name(line.substr(0, tab));
            const long pos = tab == std::string_view::npos ? 0 : std::atol(std::string(line.substr(tab + 1)).c_str());
            if (pos < 1) {  // no place: tabix would refuse the file
                at = nl + 1;
                continue;
            }
            auto [it, added] = tid.emplace(name, names.size());
            if (added) names.push_back(name), windows.emplace_back();
            windows[it->second].emplace(static_cast<std::uint64_t>(pos - 1) >> 14, f.voffset(at));
        }
        at = nl + 1;
    }
    std::string ix, meta;
    for (std::int32_t v : {col.format, col.seq, col.beg, col.end, col.meta, col.skip}) put_le(meta, static_cast<std::uint32_t>(v), 4);
    std::string all_names;
    for (const std::string& n : names) all_names += n + '\0';
    put_le(meta, all_names.size(), 4);
    meta += all_names;
    if (csi) {
        ix = std::string("CSI\1", 4);
        for (std::uint32_t v : {14u, 5u}) put_le(ix, v, 4);
        put_le(ix, meta.size(), 4);
        ix += meta;
        put_le(ix, names.size(), 4);
    } else {
        ix = std::string("TBI\1", 4);
        put_le(ix, names.size(), 4);
        ix += meta;
    }
    for (const auto& w : windows) {
        put_le(ix, w.size(), 4);  // one leaf bin per window, one chunk each
        for (const auto& [win, off] : w) {
            put_le(ix, 4681 + win, 4);
            if (csi) put_le(ix, off, 8);
            put_le(ix, 1, 4);
            put_le(ix, off, 8);
            put_le(ix, off + 1, 8);
        }
        if (csi) continue;
        const std::uint64_t n = w.empty() ? 0 : w.rbegin()->first + 1;  // empty windows take the next offset
        put_le(ix, n, 4);
        std::vector<std::uint64_t> ioff(n);
        std::uint64_t next = w.empty() ? 0 : w.rbegin()->second;
        for (std::uint64_t k = n; k-- > 0;) {
            auto it = w.find(k);
            if (it != w.end()) next = it->second;
            ioff[k] = next;
        }
        for (std::uint64_t o : ioff) put_le(ix, o, 8);
    }
    return ix;
}

}  // namespace bgzf_writer
