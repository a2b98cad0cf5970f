// The index of a BGZF text file sorted by place, as tabix writes it beside the file
// (<file>.tbi, or <file>.csi in its CSI form): where in the compressed file the lines of
// each chromosome begin, window by window. Only what a forward merge needs is kept: for
// each chromosome, the virtual offset before which no line at or past a position begins.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace wes {

class BgzfIndex {
public:
    static constexpr std::uint64_t k_end = ~std::uint64_t{0};

    // Reads the index bytes (inflated) of either form. False, with why, when they are not
    // an index that a merge over the file can follow: lines placed by their first two
    // columns (chromosome, 1-based position: tabix -s1 -b2 -e2), chromosomes in byte
    // order, no line left out of the index that the merge reads as a record (at most
    // header_lines lines skipped at the top; comment lines only where they sort before
    // every chromosome the suite names).
    bool parse(std::string_view bytes, unsigned header_lines, std::string& why);

    // The virtual offset (block offset << 16 | offset among its inflated bytes) before
    // which no line begins that lies at chrom from position pos on, or on a chromosome
    // that sorts after chrom; k_end when there is no such line. The answer is the same
    // for the positions of chrom in [from, to).
    std::uint64_t first_at(std::string_view chrom, std::int64_t pos, std::int64_t& from, std::int64_t& to) const;
    // Whether chrom is one of the file's chromosomes.
    bool has(std::string_view chrom) const;

    const std::vector<std::string>& names() const { return names_; }

private:
    // For one chromosome: the ends (exclusive, 0-based) of the stretches the index
    // tells, ascending, and for each the least offset of any line in that stretch or a
    // later one.
    struct Chromosome {
        std::vector<std::int64_t> ends;
        std::vector<std::uint64_t> offsets;
    };
    std::size_t find(std::string_view chrom) const;
    bool parse_tbi(std::string_view bytes, unsigned header_lines, std::string& why);
    bool parse_csi(std::string_view bytes, unsigned header_lines, std::string& why);

    std::vector<std::string> names_;
    std::vector<Chromosome> chroms_;
};

}  // namespace wes
