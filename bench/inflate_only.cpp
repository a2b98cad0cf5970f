// Reads files through the suite's byte source to their end and throws the bytes
// away: the time of inflating alone, with the decompressor read_qc_stat uses.
//   inflate_only file...
#include <cstdio>
#include <vector>

#include "byte_source.hpp"

int main(int argc, char** argv) {
    std::vector<char> buf(1 << 20);
    unsigned long long total = 0;
    for (int i = 1; i < argc; ++i) {
        std::string err;
        auto src = wes::open_byte_source(argv[i], err);
        if (!src) {
            std::fprintf(stderr, "%s: %s\n", argv[i], err.c_str());
            return 1;
        }
        for (;;) {
            auto got = src->read(buf.data(), buf.size());
            if (got < 0) {
                std::fprintf(stderr, "%s: %s\n", argv[i], src->error().c_str());
                return 1;
            }
            if (got == 0) break;
            total += static_cast<unsigned long long>(got);
        }
    }
    std::printf("%llu bytes (%s)\n", total, wes::inflater_name());
    return 0;
}
