// The progress line of a long run. When standard error is a terminal and the run has
// gone on for more than two seconds, one line there, rewritten in place twice a second,
// tells how far the main input has been read (bytes of its size: compressed bytes for a
// compressed file; no share and no time left for a pipe), the rows so far, their rate
// and the time left. WES_PROGRESS=0 turns it off. The line is wiped before every message
// of the suite (diagnostics.hpp draws and wipes it) and at the end of the run, so that it
// never stands in front of a message nor stays behind; where standard error is no
// terminal nothing of it is ever written.
//
// The main loop calls tick() once a row: a counter, with a look at the clock only every
// few thousand rows (fewer when rows come slowly), and nothing more when the line is off.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace wes {

class LineReader;

// What the line tells.
struct ProgressFigures {
    std::uint64_t bytes = 0;    // bytes of the main input read
    std::uint64_t size = 0;     // its size; 0 when it has none (a pipe)
    std::uint64_t rows = 0;
    double rows_per_second = 0;
    double seconds_left = -1;   // below 0 when not known
};

// The line's text, cut to at most width characters, such as
// "vcf_to_table: 1.2 GiB of 3.4 GiB (35%), 4,101,233 lines at 410,312/s, 5:12 left".
std::string progress_text(const std::string& label, const char* unit, const ProgressFigures& f, std::size_t width);

class Progress {
public:
    // Settles at once whether the line can ever be shown: WES_PROGRESS is read here, at
    // the start of the run, and standard error must be a terminal. unit names the rows
    // ("rows", "lines", "read pairs").
    Progress(const char* program, const char* unit);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // From now on the bytes of in measure the run, with those of also added (the other
    // file of a pair). The readers must outlive the watch: unwatch() before they go.
    void watch(const LineReader& in, const LineReader* also = nullptr);
    void unwatch();
    // Which of several inputs is being read, after the program's name ("pair 2/3").
    void name_part(std::string part) { part_ = std::move(part); }

    // One row done.
    void tick() {
        if (++rows_ == next_look_) look();
    }

    // Wipes the line for good: the end of the run, before its last words.
    void finish();

private:
    void look();
    void draw(std::int64_t now);

    bool on_ = false;
    const char* program_;
    const char* unit_;
    std::string part_;
    const LineReader* in_[2] = {nullptr, nullptr};

    std::uint64_t rows_ = 0;
    std::uint64_t next_look_ = UINT64_MAX;  // never, while the line is off
    std::uint64_t stride_ = 1;              // rows between two looks at the clock
    std::int64_t started_ = 0;              // nanoseconds on the monotonic clock
    std::int64_t last_look_ = 0;
    std::int64_t drawn_at_ = 0;
    std::int64_t watched_at_ = 0;
    std::uint64_t bytes_at_watch_ = 0;
};

}  // namespace wes
