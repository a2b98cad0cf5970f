// Compiled-in paths with run-time overrides, and the exit statuses the suite shares.
#pragma once

#include <cstdlib>

namespace wes {

// The value of environment variable env when it is set and not empty, else compiled.
inline const char* path_setting(const char* env, const char* compiled) {
    const char* v = std::getenv(env);
    return (v && *v) ? v : compiled;
}

// Every failure that the suite adds beyond its historical statuses ends with this one.
constexpr int exit_failure = 2;

}  // namespace wes
