#include "progress.hpp"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sys/ioctl.h>
#include <unistd.h>

#include "line_reader.hpp"
#include "diagnostics.hpp"
#include "grouped.hpp"

namespace wes {
namespace {

constexpr std::int64_t k_second = 1'000'000'000;
constexpr std::int64_t k_quiet_start = 2 * k_second;  // no line in a run's first seconds
constexpr std::int64_t k_redraw = k_second / 2;
// Looks at the clock are kept between these apart, by doubling or halving the rows
// between them, so that a fast run looks every few thousand rows.
constexpr std::int64_t k_look_min = k_second / 100;
constexpr std::int64_t k_look_max = k_second / 10;
constexpr std::uint64_t k_max_stride = 1 << 16;

std::int64_t now_ns() {
    timespec ts;
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * k_second + ts.tv_nsec;
}

std::string bytes_text(std::uint64_t n) {
    static const char* const units[] = {"KiB", "MiB", "GiB", "TiB", "PiB"};
    if (n < 1024) return std::to_string(n) + " B";
    double v = static_cast<double>(n) / 1024;
    int u = 0;
    while (v >= 1024 && u < 4) {
        v /= 1024;
        ++u;
    }
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f %s", v, units[u]);
    return buf;
}

std::string duration_text(double seconds) {
    auto s = static_cast<std::uint64_t>(seconds + 0.5);
    char buf[32];
    if (s >= 3600)
        std::snprintf(buf, sizeof buf, "%llu:%02llu:%02llu", static_cast<unsigned long long>(s / 3600),
                      static_cast<unsigned long long>(s / 60 % 60), static_cast<unsigned long long>(s % 60));
    else
        std::snprintf(buf, sizeof buf, "%llu:%02llu", static_cast<unsigned long long>(s / 60),
                      static_cast<unsigned long long>(s % 60));
    return buf;
}

std::uint64_t file_bytes(const LineReader* r) {
    return r && r->source() ? r->source()->file_bytes_read() : 0;
}

}  // namespace

std::string progress_text(const std::string& label, const char* unit, const ProgressFigures& f, std::size_t width) {
    std::string t = label + ": " + bytes_text(f.bytes);
    if (f.size > 0) {
        const std::uint64_t pct = f.bytes >= f.size ? 100 : f.bytes * 100 / f.size;
        t += " of " + bytes_text(f.size) + " (" + std::to_string(pct) + "%)";
    } else {
        t += " read";
    }
    t += ", " + grouped(f.rows) + " " + unit;
    t += " at " + grouped(static_cast<std::uint64_t>(f.rows_per_second)) + "/s";
    if (f.size > 0 && f.seconds_left >= 0) t += ", " + duration_text(f.seconds_left) + " left";
    if (t.size() > width) t.resize(width);
    return t;
}

Progress::Progress(const char* program, const char* unit) : program_(program), unit_(unit) {
    const char* setting = std::getenv("WES_PROGRESS");
    on_ = !(setting && std::strcmp(setting, "0") == 0) && ::isatty(STDERR_FILENO) == 1;
    if (!on_) return;
    started_ = last_look_ = now_ns();
    next_look_ = 1;
}

Progress::~Progress() { finish(); }

void Progress::watch(const LineReader& in, const LineReader* also) {
    in_[0] = &in;
    in_[1] = also;
    watched_at_ = on_ ? now_ns() : 0;
    bytes_at_watch_ = file_bytes(in_[0]) + file_bytes(in_[1]);
}

void Progress::unwatch() {
    in_[0] = in_[1] = nullptr;
}

void Progress::finish() {
    if (on_) wipe_progress_line();
    on_ = false;
    next_look_ = UINT64_MAX;
}

void Progress::look() {
    const std::int64_t now = now_ns();
    const std::int64_t since = now - last_look_;
    if (since < k_look_min && stride_ < k_max_stride)
        stride_ *= 2;
    else if (since > k_look_max && stride_ > 1)
        stride_ /= 2;
    last_look_ = now;
    next_look_ = rows_ + stride_;
    if (now - started_ < k_quiet_start || now - drawn_at_ < k_redraw) return;
    draw(now);
}

void Progress::draw(std::int64_t now) {
    // Output that goes to a terminal on standard output would be mixed with the line.
    if (messages_on_stderr() && ::isatty(STDOUT_FILENO) == 1) {
        finish();
        return;
    }
    drawn_at_ = now;
    ProgressFigures f;
    f.rows = rows_;
    f.rows_per_second = static_cast<double>(rows_) * k_second / static_cast<double>(now - started_);
    bool sized = true;  // one input without a size (a pipe) leaves the whole without one
    for (const LineReader* r : in_) {
        if (!r || !r->source()) continue;
        f.bytes += r->source()->file_bytes_read();
        const std::uint64_t size = r->source()->file_size();
        sized = sized && size > 0;
        f.size += size;
    }
    if (!sized) f.size = 0;
    const std::uint64_t gained = f.bytes > bytes_at_watch_ ? f.bytes - bytes_at_watch_ : 0;
    if (f.size > 0 && gained > 0 && now > watched_at_) {
        const double per_second = static_cast<double>(gained) * k_second / static_cast<double>(now - watched_at_);
        f.seconds_left = f.bytes >= f.size ? 0 : static_cast<double>(f.size - f.bytes) / per_second;
    }
    winsize ws{};
    std::size_t width = 80;
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0) width = ws.ws_col;
    std::string label = program_;
    if (!part_.empty()) label += " " + part_;
    // The terminal gone, the run goes on without its line.
    if (!draw_progress_line(progress_text(label, unit_, f, width - 1))) finish();
}

}  // namespace wes
