// read_qc_stat fq_1 fq_2 [fq_1 fq_2 ...] out: per-cycle base composition and quality
// statistics over pairs of FASTQ files, written to out.quality, out.GC_content and
// out.totstat.
#include <cinttypes>
#include <cstdio>
#include <cstdlib>

#include "cli.hpp"
#include "counters.hpp"
#include "fastq_pair.hpp"
#include "reports.hpp"
#include "settings.hpp"

namespace {

void help(const char* invoked_as) {
    std::printf("Usage:\n");
    std::printf("\t%s\tfq_1 fq_2 fq_1 fq_2...\tout\n", invoked_as);
    std::printf("\t1> please put in fqs 1\n");
    std::printf("\t2> please put in fqs 2\n");
    std::printf("\t3> please put in fqs 1\n");
    std::printf("\t4> please put in fqs 2\n");
    std::printf("\t......\n");
    std::printf("\tn> please put in out_file_name\n");
}

wes::qc::Counters res;  // all counts of the run; far too big for the stack frame of main

}  // namespace

int main(int argc, char** argv) {
    wes::handle_common_options(argc, argv, "read_qc_stat", help);
    if (argc % 2 == 1) {
        help(argv[0]);
        return wes::exit_failure;
    }
    bool failed = false;
    for (int k = 1; k < argc - 2; k += 2) {
        wes::qc::PairResult r = wes::qc::stat(argv[k], argv[k + 1], res);
        std::fputs(r.message.c_str(), stdout);
        if (r.status == wes::qc::PairResult::Status::quality_error) return wes::exit_failure;
        if (r.status != wes::qc::PairResult::Status::complete) failed = true;
    }
    if (!wes::qc::write_reports(res, argv[argc - 1])) return wes::exit_failure;
    if (res.long_reads > 0)
        std::printf("%" PRIu64 " reads were longer than 160 bases; their bases after cycle 160 were not counted\n",
                    res.long_reads);
    return failed ? wes::exit_failure : 0;
}
