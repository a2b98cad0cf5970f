#include "messages.hpp"

#include <cstdarg>

#include "progress.hpp"

namespace wes {
namespace {
bool g_to_stderr = false;
}

void say(const char* format, ...) {
    std::FILE* f = g_to_stderr ? stderr : stdout;
    wipe_progress_line();
    va_list args;
    va_start(args, format);
    std::vfprintf(f, format, args);
    va_end(args);
    std::fflush(f);
}

void messages_to_stderr() {
    std::fflush(stdout);
    g_to_stderr = true;
}

bool messages_on_stderr() { return g_to_stderr; }

}  // namespace wes
