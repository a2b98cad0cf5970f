// table_to_accession [--keys chr|numeric] [--aside FILE] TABLE OUT
// The step between vcf_to_table and the annotators: writes the header line the
// annotators expect, then every row of TABLE whose chromosome (field 1, up to the first
// TAB) the accession table knows, renamed to its accession. Rows of other contigs (chrM,
// unplaced contigs) go unchanged to the aside file when one is named, else are left out
// and counted on standard error. Sorting stays with `LC_ALL=C sort`.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "chr_trans.hpp"
#include "diagnostics.hpp"
#include "line_reader.hpp"
#include "out_file.hpp"
#include "program.hpp"

namespace {

constexpr const char* k_usage =
    "Usage:\n\t%s\t[--keys chr|numeric]\t[--aside FILE]\tTABLE\tOUT\n"
    "\tTABLE\tthe table of vcf_to_table (plain or gzip; - reads standard input)\n"
    "\tOUT\tthe table the annotators read: a header line, chromosomes named by accession\n"
    "\t--keys\tchromosome names of TABLE: chr (chr1..chrY, the default) or numeric (1..Y)\n"
    "\t--aside\twhere rows of chromosomes without an accession go (else they are left out)\n"
    "The rows keep the order of TABLE; the annotators need them sorted. Sort them with\n"
    "\t{ head -n 1 OUT; tail -n +2 OUT | LC_ALL=C sort -s -t \"$(printf '\\t')\" -k1,1 -k2,2n; }\n";

constexpr std::string_view k_header = "Chr\tStart\tEnd\tRef\tAlt\tID\tMQ\tDepth\n";

struct Options {
    wes::ChrKeyForm form = wes::ChrKeyForm::chr_prefixed;
    std::string in, out, aside;
};

// False when the words are not [--keys chr|numeric] [--aside FILE] TABLE OUT.
bool read_options(int argc, char** argv, Options& o) {
    int i = 1;
    for (; i + 1 < argc && std::strncmp(argv[i], "--", 2) == 0; i += 2) {
        if (std::strcmp(argv[i], "--keys") == 0 && std::strcmp(argv[i + 1], "chr") == 0)
            o.form = wes::ChrKeyForm::chr_prefixed;
        else if (std::strcmp(argv[i], "--keys") == 0 && std::strcmp(argv[i + 1], "numeric") == 0)
            o.form = wes::ChrKeyForm::numeric;
        else if (std::strcmp(argv[i], "--aside") == 0)
            o.aside = argv[i + 1];
        else
            break;
    }
    if (argc - i != 2) return false;
    o.in = argv[i];
    o.out = argv[i + 1];
    return true;
}

// Before anything is opened: no output is the input, and the aside file is not the output.
bool outputs_are_clear(const Options& o) {
    for (const std::string& out : {o.out, o.aside}) {
        if (wes::is_also_an_input(out, {o.in})) {
            wes::report_output_is_input(out);
            return false;
        }
    }
    if (!o.aside.empty() && wes::same_output(o.aside, o.out)) {
        wes::say("Error: %s is also the output of this run\n", o.aside.c_str());
        return false;
    }
    return true;
}

// Rows without an accession that were left out: how many, and the chromosome of the first.
struct LeftOut {
    std::uint64_t rows = 0;
    std::string example;
};

// Copies every row of in, renamed, to out, or to aside (when open), or counts it as left
// out. Ends at the end of in, at a read failure or at a write failure.
wes::LineReader::Status convert_rows(wes::LineReader& in, wes::ChrKeyForm form, wes::OutFile& out, wes::OutFile& aside,
                                     LeftOut& left_out) {
    std::string_view line;
    wes::LineReader::Status st;
    while ((st = in.next(line)) == wes::LineReader::Status::line) {
        if (line.empty()) continue;
        const std::size_t tab = line.find('\t');
        const std::string_view chrom = line.substr(0, tab);
        std::string_view acc = wes::accession_for(chrom, form);
        if (acc.empty() && wes::is_accession(chrom)) acc = chrom;
        if (!acc.empty()) {
            out.write(acc);
            if (tab != std::string_view::npos) out.write(line.substr(tab));
            out.put('\n');
        } else if (aside.is_open()) {
            aside.write(line);
            aside.put('\n');
        } else if (left_out.rows++ == 0) {
            left_out.example.assign(chrom);
        }
        if (out.failed() || aside.failed()) break;
    }
    return st;
}

// The output, or the aside file, written and closed; else false, said.
bool closed(wes::OutFile& out) {
    if (!out.is_open() || out.close()) return true;
    out.report_failure();
    return false;
}

int table_to_accession(int argc, char** argv) {
    Options o;
    if (!read_options(argc, argv, o)) {
        wes::print_usage(argv[0], k_usage);
        return wes::exit_failure;
    }
    wes::keep_messages_out_of({o.out, o.aside});
    if (!outputs_are_clear(o)) return wes::exit_failure;
    wes::LineReader in;
    if (!in.open(o.in)) {
        wes::say("Error: cannot open %s: %s\n", o.in.c_str(), in.error().c_str());
        return wes::exit_failure;
    }
    wes::OutFile out, aside;
    if (!out.open(o.out) || (!o.aside.empty() && !aside.open(o.aside))) {
        (out.failed() ? out : aside).report_failure();
        return wes::exit_failure;
    }

    out.write(k_header);
    LeftOut left_out;
    if (convert_rows(in, o.form, out, aside, left_out) == wes::LineReader::Status::error) {
        in.report_failure();
        return wes::exit_failure;
    }
    if (!closed(out) || !closed(aside)) return wes::exit_failure;
    if (left_out.rows > 0)
        wes::note("table_to_accession: %llu rows of chromosomes without an accession (such as \"%s\") left out\n",
                  static_cast<unsigned long long>(left_out.rows), left_out.example.c_str());
    return wes::exit_done;
}

}  // namespace

int main(int argc, char** argv) {
    return wes::run_main(argc, argv, {"table_to_accession", k_usage, wes::exit_failure}, table_to_accession);
}
