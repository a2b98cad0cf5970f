#include "merge_files.hpp"

namespace wes {

MergeFiles::Start MergeFiles::open(const std::string& rows_path, const std::string& sorted_path,
                                   const std::string& out_path, const std::vector<std::string>& also_read) {
    std::vector<std::string> inputs = {rows_path, sorted_path};
    inputs.insert(inputs.end(), also_read.begin(), also_read.end());
    if (is_also_an_input(out_path, inputs)) return Start::output_is_input;
    rows_opened = rows.open(rows_path);
    sorted_opened = sorted.open(sorted_path);
    out_opened = out.open(out_path);
    return rows_opened && sorted_opened && out_opened ? Start::opened : Start::not_opened;
}

}  // namespace wes
