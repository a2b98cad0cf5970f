// The merge of every annotator on files in memory: the input is the rows, a NUL, then
// the database. Each tool's merge must finish, and write exactly one line for each row
// that is not blank; the tools that echo the row begin that line with it. Then the same
// bytes choose sorted inputs, on which every answer must be a plain lookup's, read
// through an index too (the database in BGZF blocks of a size they choose). A database
// part that reads as an index is followed over such a file: whatever it says, the merge
// finishes with one line for each row.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "../annotate/merge_model.hpp"
#include "../bgzf_writer.hpp"
#include "annotator.hpp"
#include "fuzz_check.hpp"

namespace {

using namespace wes::annotate;

bool blank(std::string_view line) {
    for (char c : line)
        if (!std::isspace(static_cast<unsigned char>(c))) return false;
    return true;
}

// Files in memory, named through /proc: the rows, the database and the output. The
// readers and the output are opened again on them for each merge, so that their big
// buffers are allocated once (fresh buffers are slow under the sanitizers).
struct MemFile {
    int fd = memfd_create("fuzz_merge_join", 0);
    std::string path = "/proc/self/fd/" + std::to_string(fd);

    void write(std::string_view s) {
        FUZZ_CHECK(ftruncate(fd, 0) == 0);
        FUZZ_CHECK(pwrite(fd, s.data(), s.size(), 0) == static_cast<ssize_t>(s.size()));
    }
    std::string read() const {
        struct stat st;
        FUZZ_CHECK(fstat(fd, &st) == 0);
        std::string s(static_cast<std::size_t>(st.st_size), '\0');
        FUZZ_CHECK(pread(fd, s.data(), s.size(), 0) == static_cast<ssize_t>(s.size()));
        return s;
    }
};

// The merge over rows and a BGZF database, jumping where index says; what it wrote. The
// run must end well where the index is the file's own (exact).
std::string indexed(const JoinProfile& profile, const std::string& rows, const std::string& db,
                    std::shared_ptr<const wes::BgzfIndex> index, bool exact) {
    static wes::OutFile out;
    static MemFile out_file;
    wes::LineReader r(wes::memory_byte_source(rows), "rows");
    wes::LineReader d(wes::memory_byte_source(db), "db");
    std::unique_ptr<wes::JumpAhead> jumps = wes::JumpAhead::follow(d, std::move(index));
    FUZZ_CHECK(jumps && out.open(out_file.path));
    MergeJoin join(profile, r, d, out, nullptr, {}, jumps.get());
    const JoinEnd end = join.run();
    FUZZ_CHECK(out.close() && (end == JoinEnd::done || (!exact && end == JoinEnd::db_read_error)));
    const std::string text = out_file.read();
    FUZZ_CHECK(end != JoinEnd::done ||
               static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) == join.counts().rows);
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t nul = input.find('\0');
    const std::string_view rows = input.substr(0, nul);
    const std::string_view db = nul == std::string_view::npos ? std::string_view() : input.substr(nul + 1);
    // Data that begins with the gzip magic is read as compressed: not this target's subject.
    if (rows.substr(0, 2) == "\x1f\x8b" || db.substr(0, 2) == "\x1f\x8b") return 0;
    std::vector<std::string_view> want;
    for (std::string_view line : fuzz::split_lines(rows))
        if (!blank(line)) want.push_back(line);

    static MemFile rows_file, db_file, out_file;
    static wes::LineReader r, d;
    static wes::OutFile out;
    rows_file.write(rows);
    db_file.write(db);
    for (const AnnotatorTool* tool : {&splice_tool, &protein_tool, &score_tool, &popfreq_tool}) {
        FUZZ_CHECK(r.open(rows_file.path) && d.open(db_file.path) && out.open(out_file.path));
        MergeJoin join(tool->profile, r, d, out);
        FUZZ_CHECK(join.run() == JoinEnd::done);
        FUZZ_CHECK(out.close());
        FUZZ_CHECK(join.counts().rows == want.size() && join.counts().hits <= want.size());

        const std::string text = out_file.read();
        FUZZ_CHECK(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) == want.size());
        FUZZ_CHECK(text.empty() || text.back() == '\n');
        const std::vector<std::string_view> got = fuzz::split_lines(text);
        if (tool == &splice_tool || tool == &protein_tool)
            for (std::size_t i = 0; i < got.size(); ++i)
                FUZZ_CHECK(got[i].substr(0, want[i].size() + 2) == std::string(want[i]) + " \t");
    }

    for (const AnnotatorTool* tool : {&splice_tool, &protein_tool, &score_tool, &popfreq_tool}) {
        std::size_t next = 0;
        auto choose = [&](unsigned n) { return next < size ? data[next++] % n : 0u; };
        const merge_model::Inputs in = merge_model::generate(tool->profile, choose, 8 + size % 64);
        const JoinProfile answers = merge_model::answers_only(tool->profile);
        rows_file.write(in.rows);
        db_file.write(in.db);
        FUZZ_CHECK(r.open(rows_file.path) && d.open(db_file.path) && out.open(out_file.path));
        MergeJoin join(answers, r, d, out);
        FUZZ_CHECK(join.run() == JoinEnd::done && out.close());
        FUZZ_CHECK(out_file.read() == in.answers);

        const merge_model::Inputs few = merge_model::thin(
            merge_model::generate(tool->profile, choose, 8 + size % 256, 1 + choose(4000)),
            [&](std::string_view) { return choose(4) == 0; });
        const bgzf_writer::File f = bgzf_writer::compress(few.db, 40 + choose(300));
        auto index = std::make_shared<wes::BgzfIndex>();
        std::string why;
        FUZZ_CHECK(index->parse(bgzf_writer::index(few.db, f, choose(2) == 1), 0, why));
        FUZZ_CHECK(indexed(answers, few.rows, f.bytes, index, true) == few.answers);
        if (index->parse(db, 0, why)) indexed(answers, few.rows, f.bytes, index, false);
    }
    return 0;
}
