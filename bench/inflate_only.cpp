// Reads files through the suite's byte source to their end and throws the bytes
// away: the time of inflating alone, with the decompressor read_qc_stat uses.
//   inflate_only file...
#include <cstdio>

#include "byte_source.hpp"

int main(int argc, char** argv) {
    wes::Buffer buf;
    if (!buf.grow(1 << 20)) return 1;
    unsigned long long total = 0;
    for (int i = 1; i < argc; ++i) {
        std::string err;
        auto src = wes::open_byte_source(argv[i], err);
        if (!src) {
            std::fprintf(stderr, "%s: %s\n", argv[i], err.c_str());
            return 1;
        }
        for (;;) {
            buf.begin = buf.end = 0;
            auto got = src->fill(buf);
            if (got < 0) {
                std::fprintf(stderr, "%s: %s\n", argv[i], src->error().c_str());
                return 1;
            }
            if (got == 0) break;
            total += static_cast<unsigned long long>(got);
        }
    }
#ifdef WES_HAVE_ISAL
    std::printf("%llu bytes (isa-l)\n", total);
#else
    std::printf("%llu bytes (zlib)\n", total);
#endif
    return 0;
}
