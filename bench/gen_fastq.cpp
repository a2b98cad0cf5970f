// Writes a deterministic pair of FASTQ files, <dir>/r_1.fq and <dir>/r_2.fq, with
// <records> reads of <length> bases each: random bases with rare N, and Illumina-like
// qualities (high at the start, falling slowly along the read, with short dips).
//   gen_fastq <dir> [records] [length]
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

struct Rng {
    std::uint64_t s;
    std::uint64_t next() {
        s ^= s << 13;
        s ^= s >> 7;
        s ^= s << 17;
        return s;
    }
    unsigned below(unsigned n) { return static_cast<unsigned>((next() >> 33) % n); }
};

void write_file(const std::string& path, int mate, long records, int length, std::uint64_t seed) {
    FILE* f = std::fopen(path.c_str(), "w");
    if (!f) {
        std::perror(path.c_str());
        std::exit(1);
    }
    static char buf[1 << 20];
    std::setvbuf(f, buf, _IOFBF, sizeof buf);
    Rng rng{seed};
    std::string seq(length, 'A'), qual(length, 'F');
    const char bases[4] = {'A', 'C', 'G', 'T'};
    for (long r = 0; r < records; ++r) {
        int q = 36 + static_cast<int>(rng.below(5));
        int dip = 0;
        for (int i = 0; i < length; ++i) {
            // Slow decline along the read with a random walk and occasional dips.
            if (rng.below(100) < 8) q += rng.below(2) ? 1 : -1;
            if (i > length / 2 && rng.below(100) < 3) --q;
            if (q > 41) q = 41;
            if (q < 12) q = 12;
            if (dip == 0 && rng.below(1000) < 6) dip = 1 + static_cast<int>(rng.below(4));
            int qq = dip > 0 ? 2 + static_cast<int>(rng.below(14)) : q;
            if (dip > 0) --dip;
            bool n = rng.below(5000) == 0;
            seq[i] = n ? 'N' : bases[rng.below(4)];
            qual[i] = static_cast<char>(33 + (n ? 2 : qq));
        }
        std::fprintf(f, "@A00917:123:HVJ5KDSXY:2:%d:%ld:%ld %d:N:0:CAGATCTG+ACTGAGCG\n", 1101 + static_cast<int>(r / 400000),
                     1000 + (r * 7919) % 30000, 1000 + (r * 104729) % 36000, mate);
        std::fwrite(seq.data(), 1, seq.size(), f);
        std::fputs("\n+\n", f);
        std::fwrite(qual.data(), 1, qual.size(), f);
        std::fputc('\n', f);
    }
    if (std::fclose(f) != 0) {
        std::perror(path.c_str());
        std::exit(1);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s dir [records] [length]\n", argv[0]);
        return 1;
    }
    std::string dir = argv[1];
    long records = argc > 2 ? std::atol(argv[2]) : 1000000;
    int length = argc > 3 ? std::atoi(argv[3]) : 150;
    write_file(dir + "/r_1.fq", 1, records, length, 0x9e3779b97f4a7c15ull);
    write_file(dir + "/r_2.fq", 2, records, length, 0xd1b54a32d192ed03ull);
    return 0;
}
