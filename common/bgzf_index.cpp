#include "bgzf_index.hpp"

#include <algorithm>
#include <limits>
#include <utility>

#include "fields.hpp"
#include "merge_order.hpp"

namespace wes {
namespace {

// Little-endian numbers from the front of the index's bytes; every read fails once the
// bytes run out.
class Bytes {
public:
    explicit Bytes(std::string_view s) : s_(s) {}
    bool i32(std::int32_t& v) {
        std::uint64_t u;
        if (!le(4, u)) return false;
        v = static_cast<std::int32_t>(static_cast<std::uint32_t>(u));
        return true;
    }
    bool u32(std::uint32_t& v) {
        std::uint64_t u;
        if (!le(4, u)) return false;
        v = static_cast<std::uint32_t>(u);
        return true;
    }
    bool u64(std::uint64_t& v) { return le(8, v); }
    // A count of items of size bytes each that the bytes left can hold.
    bool count(std::int32_t& n, std::size_t size) {
        return i32(n) && n >= 0 && static_cast<std::uint64_t>(n) * size <= s_.size() - at_;
    }
    bool skip(std::uint64_t n) {
        if (n > s_.size() - at_) return false;
        at_ += static_cast<std::size_t>(n);
        return true;
    }
    bool text(std::size_t n, std::string_view& t) {
        if (n > s_.size() - at_) return false;
        t = s_.substr(at_, n);
        at_ += n;
        return true;
    }

private:
    bool le(unsigned n, std::uint64_t& v) {
        if (s_.size() - at_ < n) return false;
        v = 0;
        for (unsigned i = 0; i < n; ++i) v |= std::uint64_t{static_cast<unsigned char>(s_[at_ + i])} << (8 * i);
        at_ += n;
        return true;
    }
    std::string_view s_;
    std::size_t at_ = 0;
};

constexpr const char* k_cut = "it is cut short or corrupt";

// The tabix description of the lines, and the chromosome names. The merge reads a line's
// first field as its chromosome and its second as its position; tabix splits at tabs. So
// that the two agree on every line the index places: generic 1-based lines placed by
// columns 1 and 2, names without white space, in byte order. Lines the index leaves
// out must be lines the merge never uses: at most header_lines at the top, and comment
// lines whose first byte sorts before every chromosome the merge looks for.
bool read_columns(Bytes& b, unsigned header_lines, std::vector<std::string>& names, std::string& why) {
    std::int32_t format, col_seq, col_beg, col_end, meta, skip, l_nm;
    std::string_view all;
    if (!b.i32(format) || !b.i32(col_seq) || !b.i32(col_beg) || !b.i32(col_end) || !b.i32(meta) || !b.i32(skip) ||
        !b.i32(l_nm) || l_nm < 0 || !b.text(static_cast<std::size_t>(l_nm), all)) {
        why = k_cut;
        return false;
    }
    if (format != 0 || col_seq != 1 || col_beg != 2 || col_end != 2) {
        why = "it does not place lines by their first two columns (tabix -s1 -b2 -e2)";
        return false;
    }
    if (skip < 0 || static_cast<unsigned>(skip) > header_lines || meta < 0 ||
        meta >= static_cast<unsigned char>(first_chrom[0]) || is_space(static_cast<char>(meta))) {
        why = "it leaves out lines that may be records";
        return false;
    }
    while (!all.empty()) {
        const std::size_t nul = all.find('\0');
        if (nul == std::string_view::npos) {
            why = k_cut;
            return false;
        }
        const std::string_view name = all.substr(0, nul);
        if (name.empty() || first_word(name) != name) {
            why = "a chromosome name is empty or holds white space";
            return false;
        }
        if (!names.empty() && compare_chrom(names.back(), name) >= 0) {
            why = "its chromosomes are not in byte order (LC_ALL=C sort)";
            return false;
        }
        names.emplace_back(name);
        all.remove_prefix(nul + 1);
    }
    return true;
}

}  // namespace

bool BgzfIndex::parse(std::string_view bytes, unsigned header_lines, std::string& why) {
    names_.clear();
    chroms_.clear();
    const bool ok = bytes.substr(0, 4) == std::string_view("TBI\1", 4)   ? parse_tbi(bytes, header_lines, why)
                    : bytes.substr(0, 4) == std::string_view("CSI\1", 4) ? parse_csi(bytes, header_lines, why)
                                                                         : (why = "it is no tabix or CSI index", false);
    if (!ok) {
        names_.clear();
        chroms_.clear();
    }
    return ok;
}

// The tabix form: after the names, for each chromosome its bins (not needed here) and
// its linear index: the offset of the first line in each 16 kb window.
bool BgzfIndex::parse_tbi(std::string_view bytes, unsigned header_lines, std::string& why) {
    Bytes b(bytes.substr(4));
    std::int32_t n_ref;
    if (!b.i32(n_ref) || n_ref < 0) return why = k_cut, false;
    if (!read_columns(b, header_lines, names_, why)) return false;
    if (names_.size() != static_cast<std::size_t>(n_ref)) return why = k_cut, false;
    chroms_.resize(names_.size());
    for (Chromosome& c : chroms_) {
        std::int32_t n_bin, n_chunk, n_intv;
        std::uint32_t bin;
        if (!b.count(n_bin, 8)) return why = k_cut, false;
        for (std::int32_t i = 0; i < n_bin; ++i)
            if (!b.u32(bin) || !b.count(n_chunk, 16) || !b.skip(16 * static_cast<std::uint64_t>(n_chunk)))
                return why = k_cut, false;
        if (!b.count(n_intv, 8)) return why = k_cut, false;
        c.ends.resize(static_cast<std::size_t>(n_intv));
        c.offsets.resize(static_cast<std::size_t>(n_intv));
        for (std::int32_t w = 0; w < n_intv; ++w) {
            b.u64(c.offsets[static_cast<std::size_t>(w)]);
            c.ends[static_cast<std::size_t>(w)] = std::int64_t{w + 1} << 14;
        }
        for (std::size_t w = c.offsets.size(); w-- > 1;) c.offsets[w - 1] = std::min(c.offsets[w - 1], c.offsets[w]);
    }
    return true;
}

// The CSI form: the tabix description in its auxiliary bytes, then for each chromosome
// its bins, each with the offset of the first line that overlaps it.
bool BgzfIndex::parse_csi(std::string_view bytes, unsigned header_lines, std::string& why) {
    Bytes b(bytes.substr(4));
    std::int32_t min_shift, depth, l_aux, n_ref;
    std::string_view aux;
    if (!b.i32(min_shift) || !b.i32(depth) || !b.i32(l_aux) || l_aux < 0 ||
        !b.text(static_cast<std::size_t>(l_aux), aux) || !b.i32(n_ref) || n_ref < 0)
        return why = k_cut, false;
    if (min_shift < 1 || depth < 0 || depth > 13 || min_shift + 3 * depth > 62)
        return why = "its binning is out of range", false;
    if (aux.size() < 28) return why = "it holds no tabix columns", false;
    Bytes a(aux);
    if (!read_columns(a, header_lines, names_, why)) return false;
    if (names_.size() != static_cast<std::size_t>(n_ref)) return why = k_cut, false;
    auto first_bin = [](int level) { return ((std::uint64_t{1} << (3 * level)) - 1) / 7; };
    const std::uint64_t limit = first_bin(depth + 1);  // bins past the last level hold counts, not places
    chroms_.resize(names_.size());
    std::vector<std::pair<std::int64_t, std::uint64_t>> spans;
    for (Chromosome& c : chroms_) {
        std::int32_t n_bin, n_chunk;
        if (!b.count(n_bin, 16)) return why = k_cut, false;
        spans.clear();
        for (std::int32_t i = 0; i < n_bin; ++i) {
            std::uint32_t bin;
            std::uint64_t loffset;
            if (!b.u32(bin) || !b.u64(loffset) || !b.count(n_chunk, 16) ||
                !b.skip(16 * static_cast<std::uint64_t>(n_chunk)))
                return why = k_cut, false;
            if (bin >= limit) continue;
            int level = 0;
            while (bin >= first_bin(level + 1)) ++level;
            const std::uint64_t k = bin - first_bin(level);
            spans.emplace_back(static_cast<std::int64_t>((k + 1) << (min_shift + 3 * (depth - level))), loffset);
        }
        std::sort(spans.begin(), spans.end());
        for (const auto& [end, offset] : spans) {
            c.ends.push_back(end);
            c.offsets.push_back(offset);
        }
        for (std::size_t w = c.offsets.size(); w-- > 1;) c.offsets[w - 1] = std::min(c.offsets[w - 1], c.offsets[w]);
    }
    return true;
}

std::size_t BgzfIndex::find(std::string_view chrom) const {
    return static_cast<std::size_t>(
        std::lower_bound(names_.begin(), names_.end(), chrom,
                         [](const std::string& a, std::string_view b) { return compare_chrom(a, b) < 0; }) -
        names_.begin());
}

bool BgzfIndex::has(std::string_view chrom) const {
    const std::size_t i = find(chrom);
    return i < names_.size() && names_[i] == chrom;
}

std::uint64_t BgzfIndex::first_at(std::string_view chrom, std::int64_t pos, std::int64_t& from,
                                  std::int64_t& to) const {
    std::size_t i = find(chrom);
    from = std::numeric_limits<std::int64_t>::min();
    to = std::numeric_limits<std::int64_t>::max();
    if (i < names_.size() && names_[i] == chrom) {
        const Chromosome& c = chroms_[i];
        // A line at pos covers [pos - 1, pos) counted from 0: the first stretch that
        // ends past pos - 1.
        const auto j = static_cast<std::size_t>(
            std::upper_bound(c.ends.begin(), c.ends.end(), std::max<std::int64_t>(pos - 1, 0)) - c.ends.begin());
        if (j > 0) from = c.ends[j - 1] + 1;
        if (j < c.ends.size()) {
            to = c.ends[j] + 1;
            return c.offsets[j];
        }
        ++i;
    }
    for (; i < chroms_.size(); ++i)
        if (!chroms_[i].offsets.empty()) return chroms_[i].offsets.front();
    return k_end;
}

}  // namespace wes
