// mark_repeat in_file ssr_file out_file
// Appends the column "ssr" to a sorted mutation table: "Y=" and the repeat count of the
// SSR interval that a row overlaps, or "N=0". The repeat intervals come from the
// compiled-in file (WES_SSR_FILE overrides it); the second argument is not read.
#include <string>
#include <string_view>

#include "build_config.hpp"
#include "diagnostics.hpp"
#include "fields.hpp"
#include "merge_files.hpp"
#include "merge_order.hpp"
#include "program.hpp"
#include "progress.hpp"
#include "repeat_sweep.hpp"

namespace {

constexpr const char* k_usage = "Usage:\n\t%s\t<>\t<>\t<>\n\t1>\tin_file\n\t2>\tssr_file\n\t3>\tout_file\n";

// Every output line is the input line, a blank where its newline was, a tab, the mark.
void put_line(wes::OutFile& out, std::string_view line, std::string_view mark) {
    out.write(line);
    out.write(" \t");
    out.write(mark);
    out.put('\n');
}

// Marks every row after the header; at the end, says what the sweep could not see.
// False after a failure, said.
bool mark_rows(wes::MergeFiles& files, wes::Progress& progress) {
    wes::LineReader& in = files.rows;
    wes::RepeatSweep sweep(files.sorted);
    wes::OrderWatch row_order(in.path());
    wes::ChromNames row_names;
    wes::BeforeStart before_start;
    wes::RepeatRow row;
    progress.watch(in);
    std::string_view line;
    for (wes::LineReader::Status st; (st = in.next(line)) != wes::LineReader::Status::eof;) {
        if (st == wes::LineReader::Status::error) {
            in.report_failure();
            return false;
        }
        progress.tick();
        std::string_view mark = wes::no_repeat_mark;
        switch (wes::scan_row(line, row)) {
        case wes::RowScan::blank:
            continue;
        case wes::RowScan::malformed:
            break;
        case wes::RowScan::row:
            row_order.see(row.chrom, row.start, in.line_number());
            row_names.see(row.chrom);
            before_start.see(row.chrom, row.end);
            if (!sweep.mark(row, mark)) {
                files.sorted.report_failure();
                return false;
            }
            break;
        }
        put_line(files.out, line, mark);
        if (files.out.failed()) break;
    }
    progress.finish();
    if (!files.out.close()) {
        files.out.report_failure();
        return false;
    }
    before_start.warn(in.path());
    if (sweep.found_no_interval()) wes::warn_no_records(files.sorted.path());
    wes::warn_if_names_disjoint(row_names, sweep.names(), sweep.hits(), in.path(), files.sorted.path());
    return true;
}

int mark_repeat(int argc, char** argv) {
    if (argc != 4) {
        wes::print_usage(argv[0], k_usage);
        return wes::exit_minus_one;
    }
    const std::string out_path(wes::first_word(argv[3]));
    wes::keep_messages_out_of({out_path});
    wes::Progress progress("mark_repeat", "rows");
    wes::MergeFiles files;
    switch (files.open(argv[1], wes::path_setting("WES_SSR_FILE", wes::build::ssr_file), out_path)) {
    case wes::MergeFiles::Start::output_is_input:
        wes::report_output_is_input(out_path);
        return wes::exit_failure;
    case wes::MergeFiles::Start::not_opened:
        if (!files.rows_opened)
            wes::say("infile open failed\n");
        else if (!files.sorted_opened)
            wes::say("repeat_file open failed\n");
        else
            files.out.report_failure();
        return wes::exit_failure;
    case wes::MergeFiles::Start::opened:
        break;
    }

    std::string_view header;
    switch (files.rows.next(header)) {
    case wes::LineReader::Status::error:
        files.rows.report_failure();
        return wes::exit_failure;
    case wes::LineReader::Status::eof:  // no header: nothing to extend
        if (files.out.close()) return wes::exit_done;
        files.out.report_failure();
        return wes::exit_failure;
    case wes::LineReader::Status::line:
        put_line(files.out, header, "ssr");
        break;
    }
    return mark_rows(files, progress) ? wes::exit_done : wes::exit_failure;
}

}  // namespace

int main(int argc, char** argv) {
    return wes::run_main(argc, argv, {"mark_repeat", k_usage, wes::exit_failure}, mark_repeat);
}
