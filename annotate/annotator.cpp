#include "annotator.hpp"

#include <cstring>
#include <memory>
#include <string>

#include "diagnostics.hpp"
#include "fields.hpp"
#include "merge_files.hpp"
#include "program.hpp"
#include "progress.hpp"

namespace wes::annotate {
namespace {

constexpr const char* k_open_failure = "Attention:\tmust be something wrong in this files, please check them !\n";

// After the pipeline's one line, why each file that failed did not open, for a person.
void note_open_failures(const AnnotatorTool& tool, const MergeFiles& files) {
    auto reason = [](const std::string& path, const std::string& error) { return path.empty() ? "no path" : error.c_str(); };
    if (!files.rows_opened)
        note("%s: cannot open %s: %s\n", tool.program, files.rows.path().c_str(), files.rows.error().c_str());
    if (!files.sorted_opened)
        note("%s: cannot open database %s: %s\n", tool.program, files.sorted.path().c_str(),
             reason(files.sorted.path(), files.sorted.error()));
    if (!files.out_opened)
        note("%s: cannot create %s: %s\n", tool.program, files.out.path().c_str(),
             reason(files.out.path(), files.out.error()));
}

// The result file's first line is its header, whatever it holds; a database with a
// header line loses it. False after a read failure, said.
bool take_headers(const AnnotatorTool& tool, const char* name, MergeFiles& files) {
    std::string_view header;
    bool nl = false;
    const LineReader::Status st = files.rows.next(header, nl);
    if (st == LineReader::Status::error) {
        files.rows.report_failure();
        return false;
    }
    if (st == LineReader::Status::eof) header = {};
    OutFile& out = files.out;
    switch (tool.header) {
        case ResultHeader::echo_with_column:
            out.write(header);
            out.write(" \t");
            out.write(tool.column);
            out.put('\n');
            break;
        case ResultHeader::score_columns:
            out.write("chr\tstart\tend\tref\tmut\t");
            out.write(name);
            out.put('\n');
            break;
        case ResultHeader::copy:
            out.write(header);
            if (nl) out.put('\n');
            break;
    }
    std::string_view dropped;
    if (tool.db_has_header && files.sorted.next(dropped) == LineReader::Status::error) {
        files.sorted.report_failure();
        return false;
    }
    return true;
}

int annotate(int argc, char** argv, const AnnotatorTool& tool) {
    if (argc != tool.n_args + 1) {
        print_usage(argv[0], tool.usage);
        return exit_failure;
    }
    const std::string rows_path = argv[1];
    const std::string out_path(first_word(argv[tool.n_args]));
    std::string db_path = path_setting(tool.db_env, tool.db_compiled);
    if (tool.db_from_long_second_arg && std::strlen(argv[2]) > 20) db_path.assign(first_word(argv[2]));
    keep_messages_out_of({out_path});
    Progress progress(tool.program, "rows");

    MergeFiles files;
    const MergeFiles::Start start = files.open(rows_path, db_path, out_path, {db_path + ".tbi", db_path + ".csi"});
    if (start != MergeFiles::Start::opened) {
        say("%s", k_open_failure);
        if (start == MergeFiles::Start::output_is_input)
            report_output_is_input(out_path);
        else
            note_open_failures(tool, files);
        return exit_failure;
    }
    if (!take_headers(tool, tool.n_args == 4 ? argv[3] : "", files)) return exit_failure;

    // With an index beside a BGZF database, the merge jumps over what no row needs.
    std::unique_ptr<JumpAhead> jumps = JumpAhead::open(files.sorted, tool.db_has_header ? 1 : 0);
    if (jumps) jumps->plan_from(rows_path, 1, &row_place, tool.profile.normalise_indels ? 1 : 0);
    MergeJoin join(tool.profile, files.rows, files.sorted, files.out, &progress, {}, jumps.get());
    const JoinEnd end = join.run();
    progress.finish();
    const bool closed = files.out.close();
    if (end == JoinEnd::rows_read_error || end == JoinEnd::db_read_error) {
        (end == JoinEnd::rows_read_error ? files.rows : files.sorted).report_failure();
        return exit_failure;
    }
    if (!closed || end == JoinEnd::write_error) {
        files.out.report_failure();
        return exit_failure;
    }
    join.warn_at_end();
    say("END\n");
    return exit_annotated;
}

}  // namespace

int run_annotator(int argc, char** argv, const AnnotatorTool& tool) {
    return run_main(argc, argv, {tool.program, tool.usage, exit_failure}, [&](int n, char** v) { return annotate(n, v, tool); });
}

}  // namespace wes::annotate
