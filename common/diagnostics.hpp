// Everything a run tells besides its data, in one place: where the messages go, the
// progress line on a terminal, and the exit statuses.
//
// Messages for the pipeline ("END", "Error: cannot read ...") go to standard output,
// where pipelines look for them, unless an output of the run is standard output itself:
// then to standard error, so that the data stream stays clean. Each main chooses that
// once, from its output arguments, before it opens anything. Notes for a person (why a
// file did not open, the sorted merges' warnings, what was left out) always go to
// standard error. Both wipe the progress line first, so a message always starts at the
// beginning of a line, and both are flushed at once.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string_view>

namespace wes {

// Exit statuses.
inline constexpr int exit_done = 0;
// Every failure that the suite adds beyond its historical statuses.
inline constexpr int exit_failure = 2;
// An annotator's complete run, after "END": pipelines check for exactly that.
inline constexpr int exit_annotated = 1;
// The -1 that the pipeline's programs have always returned for a wrong argument count
// (vcf_to_table also for a file that does not open).
inline constexpr int exit_minus_one = 255;

// Sends the messages to standard error when one of outputs is "-", else leaves them on
// standard output. Called by main before anything is opened.
void keep_messages_out_of(std::initializer_list<std::string_view> outputs);
bool messages_on_stderr();

// A message for the pipeline, on the stream main chose.
void say(const char* format, ...) __attribute__((format(printf, 1, 2)));
// A note for a person, on standard error.
void note(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The progress line on standard error: text drawn in place of the line shown before
// (false when the terminal is gone), or wiped off the screen.
bool draw_progress_line(std::string_view text);
void wipe_progress_line();

}  // namespace wes
