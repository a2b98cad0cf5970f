#include "provenance.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include "build_config.hpp"

namespace wes::qc {

std::string utc_time(std::time_t t) {
    std::tm tm{};
    if (!gmtime_r(&t, &tm)) return "-";
    char buf[64];
    std::size_t n = std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return n ? std::string(buf, n) : "-";
}

Provenance take_provenance(const std::vector<std::string>& fastqs) {
    Provenance p;
    p.version = std::string("wes-suite ") + build::version;
    p.date = utc_time(std::time(nullptr));
    for (std::size_t i = 0; i < fastqs.size(); ++i) {
        InputFile f;
        f.pair = static_cast<int>(i / 2 + 1);
        f.mate = static_cast<int>(i % 2 + 1);
        f.path = fastqs[i];
        struct stat st {};
        // Standard input has a size and a time where it is a file (< file), not a pipe.
        int r = f.path == "-" ? ::fstat(STDIN_FILENO, &st) : ::stat(f.path.c_str(), &st);
        if (r == 0 && S_ISREG(st.st_mode)) {
            f.known = true;
            f.size = static_cast<std::uint64_t>(st.st_size);
            f.modified = utc_time(st.st_mtime);
        }
        p.inputs.push_back(std::move(f));
    }
    return p;
}

}  // namespace wes::qc
