#include "annotator.hpp"

#include <cstdio>
#include <cstring>
#include <string>

#include "cli.hpp"
#include "fields.hpp"
#include "settings.hpp"

namespace wes::annotate {
namespace {

const AnnotatorTool* g_tool = nullptr;

void help(const char* invoked_as) {
    std::printf("\tUsage:\n\t\t%s < > < > < >\n", invoked_as);
    for (const char* line : g_tool->usage_lines)
        if (line) std::printf("%s\n", line);
}

int read_failure(const LineReader& r) {
    std::printf("Error: cannot read %s: %s\n", r.path().c_str(), r.error().c_str());
    return exit_failure;
}

}  // namespace

int run_annotator(int argc, char** argv, const AnnotatorTool& tool) {
    g_tool = &tool;
    handle_common_options(argc, argv, tool.program, help);
    if (argc != tool.n_args + 1) {
        help(argv[0]);
        return exit_failure;
    }
    std::string out_path(first_word(argv[tool.n_args]));
    std::string db_path = path_setting(tool.db_env, tool.db_compiled);
    if (tool.db_from_long_second_arg && std::strlen(argv[2]) > 20) db_path.assign(first_word(argv[2]));

    // All three opens are made before any is tested.
    LineReader rows, db;
    OutFile out;
    bool rows_ok = rows.open(argv[1], true);
    bool db_ok = !db_path.empty() && db.open(db_path, true);
    bool out_ok = !out_path.empty() && out.open(out_path, true);
    if (!rows_ok || !db_ok || !out_ok) {
        std::printf("Attention:\tmust be something wrong in this files, please check them !\n");
        if (!rows_ok) std::fprintf(stderr, "%s: cannot open %s: %s\n", tool.program, argv[1], rows.error().c_str());
        if (!db_ok)
            std::fprintf(stderr, "%s: cannot open database %s: %s\n", tool.program, db_path.c_str(),
                         db_path.empty() ? "no path" : db.error().c_str());
        if (!out_ok)
            std::fprintf(stderr, "%s: cannot create %s: %s\n", tool.program, out_path.c_str(),
                         out_path.empty() ? "no path" : out.error().c_str());
        if (out_ok) out.close();
        return exit_failure;
    }

    // Header lines: the result file's first line is its header, whatever it holds.
    std::string_view header;
    bool nl = false;
    LineReader::Status st = rows.next(header, nl);
    if (st == LineReader::Status::error) return read_failure(rows);
    std::string header_copy(st == LineReader::Status::line ? header : std::string_view());
    if (tool.db_has_header) {
        std::string_view dropped;
        if (db.next(dropped) == LineReader::Status::error) return read_failure(db);
    }
    switch (tool.header) {
        case ResultHeader::echo_with_column:
            out.write(header_copy);
            out.write(" \t");
            out.write(tool.column);
            out.put('\n');
            break;
        case ResultHeader::score_columns:
            out.write("chr\tstart\tend\tref\tmut\t");
            out.write(argv[3]);
            out.put('\n');
            break;
        case ResultHeader::copy:
            if (st == LineReader::Status::line) {
                out.write(header_copy);
                out.put('\n');
            }
            break;
    }

    MergeJoin join(tool.profile, rows, db, out);
    JoinEnd end = join.run();
    bool closed = out.close();
    if (end == JoinEnd::rows_read_error) return read_failure(rows);
    if (end == JoinEnd::db_read_error) return read_failure(db);
    if (!closed || end == JoinEnd::write_error) {
        out.report_failure();
        return exit_failure;
    }
    join.warn_on_disjoint_names();
    std::printf("END\n");
    return 1;
}

}  // namespace wes::annotate
