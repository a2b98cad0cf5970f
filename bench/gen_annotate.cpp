// Deterministic sorted mutation table and splice-style database for the annotator
// benchmark: gen_annotate OUT_DIR [ROWS] [DB_LINES]
// The database has 8 columns (chromosome, position, ref, alt, three text columns,
// value); the table has 20 columns, a header line, and half its rows match a record.
#include <cstdint>
#include <cstdio>

#include "chr_trans.hpp"
#include <cstdlib>
#include <string>

static std::uint64_t state = 88172645463325252ull;
static std::uint64_t next() {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
}

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUT_DIR [ROWS] [DB_LINES]\n", argv[0]);
        return 2;
    }
    std::string dir = argv[1];
    long rows = argc > 2 ? std::atol(argv[2]) : 1000000;
    long lines = argc > 3 ? std::atol(argv[3]) : 20000000;
    const char bases[4] = {'A', 'C', 'G', 'T'};
    FILE* db = std::fopen((dir + "/db.txt").c_str(), "w");
    FILE* tab = std::fopen((dir + "/rows.txt").c_str(), "w");
    if (!db || !tab) return 1;
    std::fputs("chr\tstart\tend\tref\talt", tab);
    for (int i = 6; i <= 20; ++i) std::fprintf(tab, "\tcol%d", i);
    std::fputc('\n', tab);
    // A row is drawn for a record with probability rows / lines; half of the rows take
    // the record's key, half sit on the free odd position just after it.
    std::uint64_t pick = static_cast<std::uint64_t>((double)rows / lines * 4294967296.0);
    long per_chrom = lines / 24 + 1;
    long written = 0;
    for (int c = 0; c < 24 && written < lines; ++c) {
        long pos = 10000;
        for (long k = 0; k < per_chrom && written < lines; ++k, ++written) {
            pos += 2 * (1 + next() % 10);
            char ref = bases[next() % 4];
            char alt = bases[(ref == 'A' ? 1 : 0) + next() % 3];
            if (alt == ref) alt = 'T';
            std::fprintf(db, "%s\t%ld\t%c\t%c\tGENE%04u\tNM_%07u\tc.%ld%c>%c\t0.%03u\n", wes::accession_table[c].accession.data(), pos, ref, alt,
                         (unsigned)(next() % 9000), (unsigned)(next() % 9000000), pos % 100000, ref, alt,
                         (unsigned)(next() % 1000));
            if ((next() & 0xffffffffu) < pick) {
                bool match = next() & 1;
                long p = match ? pos : pos + 1;
                std::fprintf(tab, "%s\t%ld\t%ld\t%c\t%c", wes::accession_table[c].accession.data(), p, p, ref, alt);
                for (int i = 6; i <= 20; ++i) std::fprintf(tab, "\tv%d_%u", i, (unsigned)(next() % 1000));
                std::fputc('\n', tab);
            }
        }
    }
    if (std::fclose(db) != 0 || std::fclose(tab) != 0) return 1;
    return 0;
}
