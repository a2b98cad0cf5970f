#include "annotator.hpp"

#include <cstdio>
#include <cstring>
#include <string>

#include "fields.hpp"
#include "messages.hpp"
#include "program.hpp"
#include "progress.hpp"

namespace wes::annotate {
namespace {

void print_usage(const AnnotatorTool& tool, const char* invoked_as) {
    std::printf("\tUsage:\n\t\t%s < > < > < >\n", invoked_as);
    for (const char* line : tool.usage_lines)
        if (line) std::printf("%s\n", line);
}

constexpr const char* k_open_failure = "Attention:\tmust be something wrong in this files, please check them !\n";

void write_header(const AnnotatorTool& tool, std::string_view header, bool had_newline, const char* name,
                  OutFile& out) {
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
            if (had_newline) out.put('\n');
            break;
    }
}

int annotate(int argc, char** argv, const AnnotatorTool& tool) {
    if (argc != tool.n_args + 1) {
        print_usage(tool, argv[0]);
        return exit_failure;
    }
    Progress progress(tool.program, "rows");
    const std::string rows_path = argv[1];
    const std::string out_path(first_word(argv[tool.n_args]));
    std::string db_path = path_setting(tool.db_env, tool.db_compiled);
    if (tool.db_from_long_second_arg && std::strlen(argv[2]) > 20) db_path.assign(first_word(argv[2]));

    if (is_also_an_input(out_path, {rows_path, db_path})) {
        say("%s", k_open_failure);
        report_output_is_input(out_path);
        return exit_failure;
    }
    // All three opens are made before any is tested.
    LineReader rows, db;
    OutFile out;
    const bool rows_ok = rows.open(rows_path);
    const bool db_ok = !db_path.empty() && db.open(db_path);
    const bool out_ok = !out_path.empty() && out.open(out_path);
    if (!rows_ok || !db_ok || !out_ok) {
        say("%s", k_open_failure);
        if (!rows_ok) std::fprintf(stderr, "%s: cannot open %s: %s\n", tool.program, rows_path.c_str(), rows.error().c_str());
        if (!db_ok)
            std::fprintf(stderr, "%s: cannot open database %s: %s\n", tool.program, db_path.c_str(),
                         db_path.empty() ? "no path" : db.error().c_str());
        if (!out_ok)
            std::fprintf(stderr, "%s: cannot create %s: %s\n", tool.program, out_path.c_str(),
                         out_path.empty() ? "no path" : out.error().c_str());
        return exit_failure;
    }

    // The result file's first line is its header, whatever it holds.
    std::string_view header;
    bool nl = false;
    const LineReader::Status st = rows.next(header, nl);
    if (st == LineReader::Status::error) {
        rows.report_failure();
        return exit_failure;
    }
    write_header(tool, st == LineReader::Status::line ? header : std::string_view(), nl,
                 tool.n_args == 4 ? argv[3] : "", out);
    if (tool.db_has_header) {
        std::string_view dropped;
        if (db.next(dropped) == LineReader::Status::error) {
            db.report_failure();
            return exit_failure;
        }
    }

    MergeJoin join(tool.profile, rows, db, out, &progress);
    const JoinEnd end = join.run();
    progress.finish();
    const bool closed = out.close();
    if (end == JoinEnd::rows_read_error || end == JoinEnd::db_read_error) {
        (end == JoinEnd::rows_read_error ? rows : db).report_failure();
        return exit_failure;
    }
    if (!closed || end == JoinEnd::write_error) {
        out.report_failure();
        return exit_failure;
    }
    join.warn_at_end();
    say("END\n");
    return 1;
}

}  // namespace

int run_annotator(int argc, char** argv, const AnnotatorTool& tool) {
    const ProgramInfo info{tool.program, [&](const char* as) { print_usage(tool, as); }, exit_failure};
    return run_main(argc, argv, info, [&](int n, char** v) { return annotate(n, v, tool); });
}

}  // namespace wes::annotate
