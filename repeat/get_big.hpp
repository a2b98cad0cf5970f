// The repeat count of an SSR interval, read from the motif text of its sixth field,
// such as "(AT)6" or "(CAG)8/(CA)11".
#pragma once

#include <string_view>

namespace wes {

// The largest of the first five numbers embedded in text, 0 when there is none.
// A number counts only where at least one non-digit precedes it, so a text that
// begins with a digit yields no number at all, and the scan stops there. Signs are
// non-digits like any other, so every number is taken as non-negative. A number too
// large for an int is taken as the largest int.
int get_big(std::string_view text);

}  // namespace wes
