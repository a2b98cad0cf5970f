#include "inflate.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <zlib.h>

#ifdef WES_HAVE_ISAL
#include <isa-l/igzip_lib.h>
#endif

namespace wes {

struct MemberInflater::State {
    bool fast = false;
    bool zinit = false;
    z_stream zs{};
#ifdef WES_HAVE_ISAL
    std::unique_ptr<inflate_state> isal;
#endif
    ~State() {
        if (zinit) inflateEnd(&zs);
    }
};

MemberInflater::MemberInflater(bool fast) : s_(std::make_unique<State>()) {
#ifdef WES_HAVE_ISAL
    s_->fast = fast;
    if (fast) s_->isal = std::make_unique<inflate_state>();
#else
    (void)fast;
#endif
}

MemberInflater::~MemberInflater() = default;

void MemberInflater::start() {
    finished_ = false;
#ifdef WES_HAVE_ISAL
    if (s_->fast) {
        isal_inflate_init(s_->isal.get());
        s_->isal->crc_flag = ISAL_GZIP;
        return;
    }
#endif
    if (!s_->zinit) {
        inflateInit2(&s_->zs, 16 + MAX_WBITS);
        s_->zinit = true;
    } else {
        inflateReset(&s_->zs);
    }
}

bool MemberInflater::step(const char* in, std::size_t n_in, char* out, std::size_t n_out, std::size_t& consumed,
                          std::size_t& produced) {
    const std::size_t max_in = std::min<std::size_t>(n_in, 1u << 30), max_out = std::min<std::size_t>(n_out, 1u << 30);
#ifdef WES_HAVE_ISAL
    if (s_->fast) {
        inflate_state& st = *s_->isal;
        st.next_in = reinterpret_cast<uint8_t*>(const_cast<char*>(in));
        st.avail_in = static_cast<uint32_t>(max_in);
        st.next_out = reinterpret_cast<uint8_t*>(out);
        st.avail_out = static_cast<uint32_t>(max_out);
        const int rc = isal_inflate(&st);
        consumed = max_in - st.avail_in;
        produced = max_out - st.avail_out;
        if (rc < 0) {
            error_ = rc == ISAL_INCORRECT_CHECKSUM ? "compressed data fails its checksum (corrupt file)"
                                                   : "invalid compressed data (corrupt file)";
            return false;
        }
        finished_ = st.block_state == ISAL_BLOCK_FINISH;
        return true;
    }
#endif
    z_stream& zs = s_->zs;
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in));
    zs.avail_in = static_cast<uInt>(max_in);
    zs.next_out = reinterpret_cast<Bytef*>(out);
    zs.avail_out = static_cast<uInt>(max_out);
    const int rc = inflate(&zs, Z_NO_FLUSH);
    consumed = max_in - zs.avail_in;
    produced = max_out - zs.avail_out;
    if (rc == Z_STREAM_END) {
        finished_ = true;
        return true;
    }
    if (rc == Z_OK || rc == Z_BUF_ERROR) return true;
    error_ = rc == Z_DATA_ERROR ? "invalid compressed data (corrupt file)" : "inflate failed";
    return false;
}

}  // namespace wes
