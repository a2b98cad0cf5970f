// table_to_accession [--keys chr|numeric] [--aside FILE] TABLE OUT
// The step between vcf_to_table and the annotators: writes the header line the
// annotators expect, then every row of TABLE whose chromosome (field 1, up to the first
// TAB) the accession table knows, renamed to its accession. Rows of other contigs (chrM,
// unplaced contigs) go unchanged to the aside file when one is named, else are left out
// and counted on standard error. Sorting stays with `LC_ALL=C sort`.
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "chr_trans.hpp"
#include "line_reader.hpp"
#include "out_file.hpp"
#include "messages.hpp"
#include "program.hpp"

namespace {

constexpr std::string_view k_header = "Chr\tStart\tEnd\tRef\tAlt\tID\tMQ\tDepth\n";

void help(const char* invoked_as) {
    std::printf("Usage:\n");
    std::printf("\t%s\t[--keys chr|numeric]\t[--aside FILE]\tTABLE\tOUT\n", invoked_as);
    std::printf("\tTABLE\tthe table of vcf_to_table (plain or gzip; - reads standard input)\n");
    std::printf("\tOUT\tthe table the annotators read: a header line, chromosomes named by accession\n");
    std::printf("\t--keys\tchromosome names of TABLE: chr (chr1..chrY, the default) or numeric (1..Y)\n");
    std::printf("\t--aside\twhere rows of chromosomes without an accession go (else they are left out)\n");
    std::printf("The rows keep the order of TABLE; the annotators need them sorted. Sort them with\n");
    std::printf("\t{ head -n 1 OUT; tail -n +2 OUT | LC_ALL=C sort -s -t \"$(printf '\\t')\" -k1,1 -k2,2n; }\n");
}

bool is_accession(std::string_view name) {
    for (const wes::AccessionRow& row : wes::accession_table)
        if (row.accession == name) return true;
    return false;
}

int table_to_accession(int argc, char** argv) {
    wes::ChrKeyForm form = wes::ChrKeyForm::chr_prefixed;
    std::string aside_path;
    int i = 1;
    for (; i + 1 < argc && argv[i][0] == '-' && argv[i][1] == '-'; i += 2) {
        if (std::strcmp(argv[i], "--keys") == 0 && std::strcmp(argv[i + 1], "chr") == 0) {
            form = wes::ChrKeyForm::chr_prefixed;
        } else if (std::strcmp(argv[i], "--keys") == 0 && std::strcmp(argv[i + 1], "numeric") == 0) {
            form = wes::ChrKeyForm::numeric;
        } else if (std::strcmp(argv[i], "--aside") == 0) {
            aside_path = argv[i + 1];
        } else {
            break;
        }
    }
    if (argc - i != 2) {
        help(argv[0]);
        return wes::exit_failure;
    }
    const std::string in_path = argv[i];
    const std::string out_path = argv[i + 1];

    for (const std::string& out : {out_path, aside_path}) {
        if (wes::is_also_an_input(out, {in_path})) {
            wes::report_output_is_input(out);
            return wes::exit_failure;
        }
    }
    wes::LineReader in;
    if (!in.open(in_path)) {
        wes::say("Error: cannot open %s: %s\n", in_path.c_str(), in.error().c_str());
        return wes::exit_failure;
    }
    wes::OutFile out, aside;
    if (!out.open(out_path)) {
        out.report_failure();
        return wes::exit_failure;
    }
    if (!aside_path.empty() && !aside.open(aside_path)) {
        aside.report_failure();
        return wes::exit_failure;
    }

    out.write(k_header);
    std::uint64_t left_out = 0;
    std::string example;
    std::string_view line;
    wes::LineReader::Status st;
    while ((st = in.next(line)) == wes::LineReader::Status::line) {
        if (line.empty()) continue;
        const std::size_t tab = line.find('\t');
        const std::string_view chrom = line.substr(0, tab);
        const std::string_view rest = tab == std::string_view::npos ? std::string_view() : line.substr(tab);
        std::string_view acc = wes::accession_for(chrom, form);
        if (acc.empty() && is_accession(chrom)) acc = chrom;
        if (!acc.empty()) {
            out.write(acc);
            out.write(rest);
            out.put('\n');
        } else if (aside.is_open()) {
            aside.write(line);
            aside.put('\n');
        } else {
            if (left_out++ == 0) example.assign(chrom);
        }
        if (out.failed() || aside.failed()) break;
    }
    if (st == wes::LineReader::Status::error) {
        in.report_failure();
        return wes::exit_failure;
    }
    if (!out.close()) {
        out.report_failure();
        return wes::exit_failure;
    }
    if (aside.is_open() && !aside.close()) {
        aside.report_failure();
        return wes::exit_failure;
    }
    if (left_out > 0)
        std::fprintf(stderr, "table_to_accession: %llu rows of chromosomes without an accession (such as \"%s\") left out\n",
                     static_cast<unsigned long long>(left_out), example.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    return wes::run_main(argc, argv, {"table_to_accession", help, wes::exit_failure}, table_to_accession);
}
