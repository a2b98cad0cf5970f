#include "vcf_to_table.hpp"

#include <cstdint>
#include <regex.h>

#include "numbers.hpp"
#include "mutation_row.hpp"
#include "fields.hpp"
#include "diagnostics.hpp"
#include "program.hpp"
#include "trim_allele.hpp"
#include "vcf_match.hpp"

namespace wes::vcf {

namespace {

constexpr int status_expression = 1;  // the expression does not compile

// The rows of one matched line: ALT allele k goes with AD value k + 1, as long as both
// exist. Nothing of one line is kept for the next.
void write_line_rows(const LineFields& f, OutFile& out) {
    std::int32_t pos;
    if (!parse_leading_int(f.group[1], pos)) return;
    float mq = 0;
    if (!parse_leading_float(f.group[5], mq)) mq = 0;
    std::int32_t dp = 0;
    if (!parse_leading_int(f.group[7], dp)) dp = 0;

    std::string_view alts = f.group[4];
    std::string_view depths = f.group[6];
    std::string_view alt, depth;
    if (!next_piece(depths, ',', depth)) return;  // the reference allele's depth

    char mq_buf[fixed_text_max];
    LineValues line{f.group[0], f.group[2], format_mq(mq, mq_buf), dp};
    TrimmedAllele allele;
    while (next_piece(depths, ',', depth) && next_piece(alts, ',', alt)) {
        float ad = 0;
        if (!parse_leading_float(depth, ad)) ad = 0;
        if (!trim_allele(pos, f.group[3], alt, allele)) continue;
        write_row(out, line, allele, ad);
    }
}

}  // namespace

bool convert_lines(LineReader& in, OutFile& out, Progress* progress) {
    LineFields fields;
    std::string_view line;
    LineReader::Status st;
    if (progress) progress->watch(in);
    while ((st = in.next(line)) == LineReader::Status::line) {
        if (progress) progress->tick();
        if (!has_chr_prefix(line)) continue;
        if (!match_vcf_line(line, fields)) continue;
        write_line_rows(fields, out);
        if (out.failed()) return true;  // the caller reports the write failure
    }
    return st == LineReader::Status::eof;
}

int run_vcf_to_table(int argc, char** argv) {
    if (argc != 3) {
        print_usage(argv[0], usage);
        return exit_minus_one;
    }
    const std::string in_path = argv[1];
    const std::string out_path = argv[2];
    keep_messages_out_of({out_path});
    Progress progress("vcf_to_table", "lines");
    if (is_also_an_input(out_path, {in_path})) {
        say("File open filed!\n");
        report_output_is_input(out_path);
        return exit_minus_one;
    }

    LineReader in;
    if (!in.open(in_path)) {
        say("File open filed!\n");
        return exit_minus_one;
    }
    OutFile out;
    if (!out.open(out_path)) {
        say("File open filed!\n");
        return exit_minus_one;
    }

    // The expression defines the lines taken; the matcher is held equal to it.
    regex_t re;
    std::string message;
    if (!compile_expression(vcf_expression, re, message)) {
        say("%s", message.c_str());
        out.close();
        return status_expression;
    }
    regfree(&re);

    const bool read_ok = convert_lines(in, out, &progress);
    progress.finish();
    const bool write_ok = out.close();
    if (!read_ok) {
        in.report_failure();
        return exit_failure;
    }
    if (!write_ok) {
        out.report_failure();
        return exit_failure;
    }
    return exit_done;
}

}  // namespace wes::vcf
