// Deterministic exome-scale data for the annotator benchmark:
//   gen_exome db              a splice-style database on standard output: one record every
//                             ten bases of every GRCh37 chromosome (about 310 million lines)
//   gen_exome rows DIR [N]    N rows (default 60,000) in 200,000 exon-like intervals:
//                             DIR/rows.txt (the result file) and DIR/rows.vcf (the same rows
//                             as a VCF, for bcftools)
// A record's alleles and values follow from its place alone, so that the rows can name
// records without the database at hand: half of the rows take a record's key, half sit
// between records.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "chr_trans.hpp"

namespace {

constexpr long k_length[24] = {249250621, 243199373, 198022430, 191154276, 180915260, 171115067,
                               159138663, 146364022, 141213431, 135534747, 135006516, 133851895,
                               115169878, 107349540, 102531392, 90354753,  81195210,  78077248,
                               59128983,  63025520,  48129895,  51304566,  155270560, 59373566};
constexpr char k_bases[4] = {'A', 'C', 'G', 'T'};

std::uint64_t mix(std::uint64_t x) {
    x ^= x >> 33;
    x *= 0xff51afd7ed558ccdULL;
    x ^= x >> 33;
    x *= 0xc4ceb9fe1a85ec53ULL;
    return x ^ (x >> 33);
}

struct Record {
    char ref, alt;
    unsigned gene, nm, value;
};

Record record_at(int chrom, long pos) {
    const std::uint64_t h = mix(static_cast<std::uint64_t>(chrom) << 40 ^ static_cast<std::uint64_t>(pos));
    Record r;
    r.ref = k_bases[h & 3];
    r.alt = k_bases[(h >> 2) & 3];
    if (r.alt == r.ref) r.alt = r.ref == 'T' ? 'A' : 'T';
    r.gene = static_cast<unsigned>((h >> 8) % 9000);
    r.nm = static_cast<unsigned>((h >> 24) % 9000000);
    r.value = static_cast<unsigned>((h >> 48) % 1000);
    return r;
}

std::uint64_t state = 88172645463325252ull;
std::uint64_t next() {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
}

int write_db() {
    static char buf[1 << 20];
    std::setvbuf(stdout, buf, _IOFBF, sizeof buf);
    for (int c = 0; c < 24; ++c) {
        const std::string_view acc = wes::accession_table[c].accession;
        for (long pos = 10; pos <= k_length[c]; pos += 10) {
            const Record r = record_at(c, pos);
            std::printf("%.*s\t%ld\t%c\t%c\tGENE%04u\tNM_%07u\tc.%ld%c>%c\t0.%03u\n", static_cast<int>(acc.size()),
                        acc.data(), pos, r.ref, r.alt, r.gene, r.nm, pos % 100000, r.ref, r.alt, r.value);
        }
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}

int write_rows(const std::string& dir, long n_rows) {
    // 20,000 genes spread over the genome by length, 10 exons of 50 to 300 bases each
    // within 30 kb of the gene's start.
    long total = 0;
    for (long len : k_length) total += len;
    struct Exon {
        int chrom;
        long start, end;
    };
    std::vector<Exon> exons;
    for (int g = 0; g < 20000; ++g) {
        long at = static_cast<long>(next() % static_cast<std::uint64_t>(total));
        int c = 0;
        while (at >= k_length[c]) at -= k_length[c++];
        at = std::min(at, k_length[c] - 40000);
        for (int e = 0; e < 10; ++e) {
            const long start = at + 1 + static_cast<long>(next() % 30000);
            exons.push_back({c, start, start + 50 + static_cast<long>(next() % 250)});
        }
    }
    struct Row {
        int chrom;
        long pos;
        char ref, alt;
    };
    std::vector<Row> rows;
    for (long i = 0; i < n_rows; ++i) {
        const Exon& e = exons[next() % exons.size()];
        long pos = e.start + static_cast<long>(next() % static_cast<std::uint64_t>(e.end - e.start));
        if (next() & 1) {
            pos = std::max(10L, pos / 10 * 10);  // a record's place and key
            const Record r = record_at(e.chrom, pos);
            rows.push_back({e.chrom, pos, r.ref, r.alt});
        } else {
            if (pos % 10 == 0) ++pos;  // between records
            rows.push_back({e.chrom, pos, k_bases[next() & 3], 'N'});
        }
    }
    std::sort(rows.begin(), rows.end(),
              [](const Row& a, const Row& b) { return a.chrom != b.chrom ? a.chrom < b.chrom : a.pos < b.pos; });
    FILE* tab = std::fopen((dir + "/rows.txt").c_str(), "w");
    FILE* vcf = std::fopen((dir + "/rows.vcf").c_str(), "w");
    if (!tab || !vcf) return 1;
    std::fputs("chr\tstart\tend\tref\talt", tab);
    for (int i = 6; i <= 20; ++i) std::fprintf(tab, "\tcol%d", i);
    std::fputc('\n', tab);
    std::fputs("##fileformat=VCFv4.2\n", vcf);
    for (int c = 0; c < 24; ++c)
        std::fprintf(vcf, "##contig=<ID=%.*s,length=%ld>\n", static_cast<int>(wes::accession_table[c].accession.size()),
                     wes::accession_table[c].accession.data(), k_length[c]);
    std::fputs("#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\n", vcf);
    for (const Row& r : rows) {
        const std::string_view acc = wes::accession_table[r.chrom].accession;
        const int n = static_cast<int>(acc.size());
        const char alt = r.alt == 'N' ? (r.ref == 'A' ? 'C' : 'A') : r.alt;
        std::fprintf(tab, "%.*s\t%ld\t%ld\t%c\t%c", n, acc.data(), r.pos, r.pos, r.ref, alt);
        for (int i = 6; i <= 20; ++i) std::fprintf(tab, "\tv%d_%u", i, static_cast<unsigned>(next() % 1000));
        std::fputc('\n', tab);
        std::fprintf(vcf, "%.*s\t%ld\t.\t%c\t%c\t.\t.\t.\n", n, acc.data(), r.pos, r.ref, alt);
    }
    return std::fclose(tab) == 0 && std::fclose(vcf) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string what = argc > 1 ? argv[1] : "";
    if (what == "db") return write_db();
    if (what == "rows" && argc > 2) return write_rows(argv[2], argc > 3 ? std::atol(argv[3]) : 60000);
    std::fprintf(stderr, "usage: %s db | rows DIR [ROWS]\n", argv[0]);
    return 2;
}
