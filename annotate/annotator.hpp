// The frame every annotator runs around the merge: argument check, the three opens,
// header handling, the merge, "END" and the exit status.
#pragma once

#include "merge_join.hpp"

namespace wes::annotate {

enum class ResultHeader {
    echo_with_column,  // the header, a blank where its newline was, a tab, the column name
    score_columns,     // dropped; "chr\tstart\tend\tref\tmut\t<name>" written instead
    copy,              // copied as read
};

struct AnnotatorTool {
    const char* program = nullptr;
    int n_args = 3;                     // arguments after the program name
    const char* usage = nullptr;        // the usage text (print_usage)
    const char* db_env = nullptr;       // environment variable that overrides the compiled path
    const char* db_compiled = nullptr;
    bool db_from_long_second_arg = false;  // a second argument of more than 20 characters names the database
    bool db_has_header = false;            // the database's first line is read and dropped
    ResultHeader header = ResultHeader::echo_with_column;
    const char* column = nullptr;  // for echo_with_column
    JoinProfile profile;
};

// The whole program. Exit statuses: exit_annotated after a complete run ("END"),
// exit_failure on any failure, 0 for --help and --version.
int run_annotator(int argc, char** argv, const AnnotatorTool& tool);

extern const AnnotatorTool splice_tool;
extern const AnnotatorTool protein_tool;
extern const AnnotatorTool score_tool;
extern const AnnotatorTool popfreq_tool;

}  // namespace wes::annotate
