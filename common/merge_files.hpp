// The three files of a forward merge: the table of rows, the sorted file merged with it
// (a database, the repeat intervals) and the output. They are opened all together, the
// way the annotators and mark_repeat always have: each is opened before any is checked,
// so the output exists, empty, even when an input is missing.
#pragma once

#include <string>
#include <vector>

#include "line_reader.hpp"
#include "out_file.hpp"

namespace wes {

struct MergeFiles {
    LineReader rows, sorted;
    OutFile out;
    bool rows_opened = false, sorted_opened = false, out_opened = false;

    enum class Start { opened, output_is_input, not_opened };
    // An output that is one of the inputs (also_read: files read beside them) is refused
    // before anything is opened; the caller says so (report_output_is_input), as it says
    // which file did not open.
    Start open(const std::string& rows_path, const std::string& sorted_path, const std::string& out_path,
               const std::vector<std::string>& also_read = {});
};

}  // namespace wes
