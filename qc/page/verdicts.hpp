// A mark per module of the QC page, pass, warn or fail, with a line that says why. The
// thresholds are those common QC tools use:
//   quality per cycle     fail: a cycle's lower quartile under 5 or median under 20;
//                         warn: under 10 or under 25
//   base composition      fail: A and T, or G and C, more than 20 points apart at a cycle; warn: 10
//   read lengths          fail: a read without bases; warn: a read of the pair has more than one length
//   mean quality of reads fail: the most common mean score under 20; warn: under 27
//   GC share of reads     fail: more than 30% of the reads off a normal curve of the same
//                         mean and spread; warn: more than 15%
//   adapter content       fail: one adapter in more than 10% of the reads; warn: 5%
//   duplication           fail: more than 50% of the read pairs repeat an earlier one; warn: 20%
//   overrepresented       fail: a sequence in more than 1% of the read pairs; warn: 0.1%
// A read of the pair that fails a check fails the module. A run without reads fails
// every module.
#pragma once

#include <string>
#include <vector>

#include "read_stats_reader.hpp"
#include "report_reader.hpp"

namespace wes::qc {

enum class Mark { pass, warn, fail };
const char* mark_name(Mark m);

struct Verdict {
    const char* id;      // the page's section
    const char* module;  // its title
    Mark mark = Mark::pass;
    std::string why;     // one line for a person, plain text
};

// The two per-cycle modules from the reports, then, where out.read_stats was there, the
// six per-read ones.
std::vector<Verdict> verdicts(const QcReports& reports, const ReadStatsReport& stats);

// The share (0-1) of reads off a normal curve with the mean and spread of gc (reads per
// GC percent), counted both where there are too many and too few; 0 without reads. The
// curve is taken over the G and C counts of reads of `length` bases, each count in the
// percent it rounds to, as a read's share is: with 150 bases some percents hold two
// counts and others one, and the reads show that comb too.
double gc_deviation(const std::array<std::uint64_t, k_gc_percents>& gc, std::uint64_t length);

}  // namespace wes::qc
