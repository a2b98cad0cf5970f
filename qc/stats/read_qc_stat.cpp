// read_qc_stat fq_1 fq_2 [fq_1 fq_2 ...] out: per-cycle base composition and quality
// statistics over pairs of FASTQ files, written to out.quality, out.GC_content and
// out.totstat.
#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "counters.hpp"
#include "fastq_pair.hpp"
#include "diagnostics.hpp"
#include "out_file.hpp"
#include "program.hpp"
#include "progress.hpp"
#include "report_writer.hpp"

namespace {

constexpr const char* k_usage =
    "Usage:\n\t%s\tfq_1 fq_2 fq_1 fq_2...\tout\n\t1> please put in fqs 1\n\t2> please put in fqs 2\n"
    "\t3> please put in fqs 1\n\t4> please put in fqs 2\n\t......\n\tn> please put in out_file_name\n";

int read_qc_stat(int argc, char** argv) {
    wes::Progress progress("read_qc_stat", "read pairs");
    // At least one pair, then the output name.
    if (argc % 2 == 1 || argc < 4) {
        wes::print_usage(argv[0], k_usage);
        return wes::exit_failure;
    }
    const std::string out = argv[argc - 1];
    const std::vector<std::string> fastqs(argv + 1, argv + argc - 1);
    if (std::string fault = wes::qc::output_name_fault(out); !fault.empty()) {
        wes::say("Error: %s\n", fault.c_str());
        return wes::exit_failure;
    }
    if (std::count(fastqs.begin(), fastqs.end(), "-") > 1) {
        wes::say("Error: standard input (-) is given for more than one FASTQ file; it can be read only once\n");
        return wes::exit_failure;
    }
    for (const char* suffix : wes::qc::k_report_suffixes) {
        if (wes::is_also_an_input(out + suffix, fastqs)) {
            wes::report_output_is_input(out + suffix);
            return wes::exit_failure;
        }
    }
    auto res = std::make_unique<wes::qc::Counters>();  // far too big for the stack
    bool failed = false;
    for (std::size_t k = 0; k < fastqs.size(); k += 2) {
        if (fastqs.size() > 2)
            progress.name_part("pair " + std::to_string(k / 2 + 1) + "/" + std::to_string(fastqs.size() / 2));
        wes::qc::PairResult r =
            wes::qc::stat(fastqs[k], fastqs[k + 1], *res, wes::LineReader::Inflate::ahead_when_it_pays, &progress);
        if (!r.message.empty()) wes::say("%s", r.message.c_str());
        if (r.status == wes::qc::PairResult::Status::quality_error) return wes::exit_failure;
        if (r.status != wes::qc::PairResult::Status::complete) failed = true;
    }
    progress.finish();
    if (!wes::qc::write_reports(*res, out)) return wes::exit_failure;
    if (res->long_reads > 0)
        wes::say("%" PRIu64 " reads were longer than 160 bases; their bases after cycle 160 were not counted\n",
                 res->long_reads);
    return failed ? wes::exit_failure : 0;
}

}  // namespace

int main(int argc, char** argv) {
    return wes::run_main(argc, argv, {"read_qc_stat", k_usage, wes::exit_failure}, read_qc_stat);
}
