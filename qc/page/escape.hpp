// Names as they land on the page and in the MultiQC files. A sample name or a path may
// hold any bytes: each is escaped for HTML or JSON, and a byte that is not part of
// well-formed UTF-8 (a Latin-1 file name, say) becomes the replacement character U+FFFD.
#pragma once

#include <string>
#include <string_view>

namespace wes::qc {

// For HTML and SVG content and attributes: &, <, >, " and ' escaped.
std::string escape_html(std::string_view text);

// A JSON string, quotes included, in ASCII: \" and \\, \u00XX for control characters,
// \uXXXX for every character beyond ASCII (a surrogate pair beyond U+FFFF).
std::string json_string(std::string_view text);

}  // namespace wes::qc
