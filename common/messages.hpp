// The suite's own messages ("END", "Error: cannot read ...", warnings of a run that goes
// on) are written on standard output, where pipelines look for them, and flushed at
// once. When an output of the run is standard output itself, they go to standard error
// instead, so that the data stream stays clean.
#pragma once

#include <cstdio>

namespace wes {

void say(const char* format, ...) __attribute__((format(printf, 1, 2)));

// From now on, messages go to standard error.
void messages_to_stderr();
// Whether they do (an output of the run is standard output).
bool messages_on_stderr();

}  // namespace wes
