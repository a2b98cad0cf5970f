#include "diagnostics.hpp"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <string>
#include <unistd.h>

namespace wes {
namespace {

// What the run has told so far: the stream its messages go to and how many characters
// of the progress line stand on the screen.
struct Told {
    std::FILE* messages = stdout;
    std::size_t line_shown = 0;
};
Told told;

void put(std::FILE* f, const char* format, va_list args) {
    wipe_progress_line();
    std::vfprintf(f, format, args);
    std::fflush(f);
}

// Writes text whole on standard error, without a stream's buffer between it and the
// terminal; false when it cannot.
bool write_stderr(std::string_view text) {
    while (!text.empty()) {
        const ssize_t n = ::write(STDERR_FILENO, text.data(), text.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        text.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

}  // namespace

void keep_messages_out_of(std::initializer_list<std::string_view> outputs) {
    for (std::string_view out : outputs)
        if (out == "-") told.messages = stderr;
}

bool messages_on_stderr() { return told.messages == stderr; }

void say(const char* format, ...) {
    va_list args;
    va_start(args, format);
    put(told.messages, format, args);
    va_end(args);
}

void note(const char* format, ...) {
    va_list args;
    va_start(args, format);
    put(stderr, format, args);
    va_end(args);
}

bool draw_progress_line(std::string_view text) {
    std::string line = "\r";
    line += text;
    // Blanks over what is left of a longer line before.
    if (text.size() < told.line_shown) line.append(told.line_shown - text.size(), ' ');
    told.line_shown = 0;
    if (!write_stderr(line)) return false;
    told.line_shown = line.size() - 1;
    return true;
}

void wipe_progress_line() {
    if (told.line_shown == 0) return;
    std::string blank = "\r" + std::string(told.line_shown, ' ') + "\r";
    told.line_shown = 0;
    write_stderr(blank);
}

}  // namespace wes
