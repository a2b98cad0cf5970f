// mark_repeat in_file ssr_file out_file
// Appends the column "ssr" to a sorted mutation table: "Y=" and the repeat count of the
// SSR interval that a row overlaps, or "N=0". The repeat intervals come from the
// compiled-in file (WES_SSR_FILE overrides it); the second argument is not read.
#include <cstdio>
#include <string>
#include <string_view>

#include "build_config.hpp"
#include "cli.hpp"
#include "fields.hpp"
#include "line_reader.hpp"
#include "out_file.hpp"
#include "repeat_sweep.hpp"
#include "settings.hpp"
#include "sort_watch.hpp"

namespace {

void help(const char* invoked_as) {
    std::printf("Usage:\n");
    std::printf("\t%s\t<>\t<>\t<>\n", invoked_as);
    std::printf("\t1>\tin_file\n");
    std::printf("\t2>\tssr_file\n");
    std::printf("\t3>\tout_file\n");
}

int read_failure(const wes::LineReader& r) {
    std::printf("Error: cannot read %s: %s\n", r.path().c_str(), r.error().c_str());
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

}  // namespace

int main(int argc, char** argv) {
    wes::handle_common_options(argc, argv, "mark_repeat", help);
    if (argc != 4) {
        help(argc > 0 ? argv[0] : "mark_repeat");
        return 255;
    }
    const std::string out_path(wes::first_word(argv[3]));
    const std::string ssr_path = wes::path_setting("WES_SSR_FILE", wes::build::ssr_file);

    // All three are opened before any is checked, so the output exists (empty) even
    // when an input is missing.
    wes::LineReader in;
    const bool in_ok = in.open(argv[1], true);
    wes::LineReader repeats;
    const bool repeats_ok = repeats.open(ssr_path, true);
    wes::OutFile out;
    const bool out_ok = out.open(out_path, true);
    if (!in_ok) {
        std::printf("infile open failed\n");
        return wes::exit_failure;
    }
    if (!repeats_ok) {
        std::printf("repeat_file open failed\n");
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
    wes::RepeatRow row;
    for (;;) {
        wes::LineReader::Status st = in.next(line);
        if (st == wes::LineReader::Status::eof) break;
        if (st == wes::LineReader::Status::error) return read_failure(in);
        std::string_view mark = wes::no_repeat_mark;
        switch (wes::scan_row(line, row)) {
        case wes::RowScan::blank:
            continue;
        case wes::RowScan::malformed:
            break;
        case wes::RowScan::row:
            row_order.see(row.chrom, row.start, in.line_number());
            row_names.see(row.chrom);
            if (!sweep.mark(row, mark)) return read_failure(repeats);
            break;
        }
        put_line(out, line, mark);
        if (out.failed()) return write_failure(out);
    }
    if (!out.close()) return write_failure(out);
    wes::warn_if_names_disjoint(row_names, sweep.names(), sweep.hits(), in.path(), repeats.path());
    return 0;
}
