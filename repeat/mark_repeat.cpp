// mark_repeat in_file ssr_file out_file
// Appends the column "ssr" to a sorted mutation table: "Y=" and the repeat count of the
// SSR interval that a row overlaps, or "N=0". The repeat intervals come from the
// compiled-in file (WES_SSR_FILE overrides it); the second argument is not read.
#include <cstdio>
#include <string>
#include <string_view>

#include "build_config.hpp"
#include "fields.hpp"
#include "line_reader.hpp"
#include "merge_order.hpp"
#include "messages.hpp"
#include "out_file.hpp"
#include "program.hpp"
#include "progress.hpp"
#include "repeat_sweep.hpp"

namespace {

void help(const char* invoked_as) {
    std::printf("Usage:\n");
    std::printf("\t%s\t<>\t<>\t<>\n", invoked_as);
    std::printf("\t1>\tin_file\n");
    std::printf("\t2>\tssr_file\n");
    std::printf("\t3>\tout_file\n");
}

int read_failure(const wes::LineReader& r) {
    r.report_failure();
    return wes::exit_failure;
}

int write_failure(const wes::OutFile& out) {
    out.report_failure();
    return wes::exit_failure;
}

// Every output line is the input line, a blank where its newline was, a tab, the mark.
void put_line(wes::OutFile& out, std::string_view line, std::string_view mark) {
    out.write(line);
    out.write(" \t");
    out.write(mark);
    out.put('\n');
}

int mark_repeat(int argc, char** argv) {
    if (argc != 4) {
        help(argv[0]);
        return 255;
    }
    wes::Progress progress("mark_repeat", "rows");
    const std::string in_path = argv[1];
    const std::string out_path(wes::first_word(argv[3]));
    const std::string ssr_path = wes::path_setting("WES_SSR_FILE", wes::build::ssr_file);
    if (wes::is_also_an_input(out_path, {in_path, ssr_path})) {
        wes::report_output_is_input(out_path);
        return wes::exit_failure;
    }

    // All three are opened before any is checked, so the output exists (empty) even
    // when an input is missing.
    wes::LineReader in;
    const bool in_ok = in.open(in_path);
    wes::LineReader repeats;
    const bool repeats_ok = repeats.open(ssr_path);
    wes::OutFile out;
    const bool out_ok = out.open(out_path);
    if (!in_ok) {
        wes::say("infile open failed\n");
        return wes::exit_failure;
    }
    if (!repeats_ok) {
        wes::say("repeat_file open failed\n");
        return wes::exit_failure;
    }
    if (!out_ok) return write_failure(out);

    std::string_view line;
    switch (in.next(line)) {
    case wes::LineReader::Status::error:
        return read_failure(in);
    case wes::LineReader::Status::eof:  // no header: nothing to extend
        return out.close() ? 0 : write_failure(out);
    case wes::LineReader::Status::line:
        put_line(out, line, "ssr");
        break;
    }

    wes::RepeatSweep sweep(repeats);
    wes::OrderWatch row_order(in.path());
    wes::ChromNames row_names;
    wes::BeforeStart before_start;
    wes::RepeatRow row;
    progress.watch(in);
    for (;;) {
        wes::LineReader::Status st = in.next(line);
        if (st == wes::LineReader::Status::eof) break;
        if (st == wes::LineReader::Status::error) return read_failure(in);
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
            if (!sweep.mark(row, mark)) return read_failure(repeats);
            break;
        }
        put_line(out, line, mark);
        if (out.failed()) return write_failure(out);
    }
    progress.finish();
    if (!out.close()) return write_failure(out);
    before_start.warn(in.path());
    if (sweep.found_no_interval()) wes::warn_no_records(repeats.path());
    wes::warn_if_names_disjoint(row_names, sweep.names(), sweep.hits(), in.path(), repeats.path());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    return wes::run_main(argc, argv, {"mark_repeat", help, wes::exit_failure}, mark_repeat);
}
