// What every program shares on its command line: the usage text for a wrong argument
// count (and its status), --help, and --version with the version of this build.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "test_util.hpp"

namespace {

using Words = std::vector<std::string>;

struct Program {
    std::string name;
    std::vector<Words> wrong;  // argument lists of the wrong length; OUT is a path in a scratch folder
    int status;                // the status of a wrong argument count
    std::string usage;         // "%s" stands for the program as invoked
};

const std::string k_annotator_head = "\tUsage:\n\t\t%s < > < > < >\n\t\t1>:\tplease input the result file !\n";
const std::string k_launcher_tail = "\n\t2>\tinfile\n\t3>\toutfile\n";

const std::vector<Program> k_programs = {
    {"read_qc_stat", {{}, {"a_1.fq", "a_2.fq"}, {"OUT"}}, 2,
     "Usage:\n\t%s\tfq_1 fq_2 fq_1 fq_2...\tout\n\t1> please put in fqs 1\n\t2> please put in fqs 2\n"
     "\t3> please put in fqs 1\n\t4> please put in fqs 2\n\t......\n\tn> please put in out_file_name\n"},
    {"qc_report", {{}, {"OUT", "b", "c"}}, 2,
     "Usage:\n\t%s\tout\t[sample]\n"
     "\t1> the output name given to read_qc_stat: out.quality, out.GC_content, out.totstat and out.read_stats are read\n"
     "\t2> the sample name on the page and in the MultiQC files (default: the last part of out)\n"
     "\twrites out.html and the MultiQC files out_mqc.json and out_*_mqc.json\n"},
    {"vcf_to_table", {{}, {"a"}, {"a", "OUT", "c"}}, 255,
     "Usage:\n\t%s\tvcf_file\tout_file\n\t1>:\tvcf_file\n\t2>:\tout_file\n"},
    {"join_splice_db", {{"only", "two"}}, 2,
     k_annotator_head + "\t\t2>:\tplease input the splice_predict Database !\n\t\t3>:\tplease input the out file !\n"},
    {"join_protein_db", {{"only", "two"}}, 2,
     k_annotator_head + "\t\t2>:\tplease input the protein_predict Database !\n\t\t3>:\tplease input the out file !\n"},
    {"join_score_db", {{"a", "b", "c"}}, 2,
     k_annotator_head + "\t\t2>:\tplease input the protein_predict Database file !\n"
                        "\t\t3>:\tplease input the protein_predict Database name !\n\t\t4>:\tplease input the out file !\n"},
    {"revise_popfreq", {{"only", "two"}}, 2,
     k_annotator_head + "\t\t2>:\tplease input the popfreq Database !\n\t\t3>:\tplease input the out file !\n"},
    {"mark_repeat", {{}, {"a", "b"}, {"a", "b", "OUT", "d"}}, 255,
     "Usage:\n\t%s\t<>\t<>\t<>\n\t1>\tin_file\n\t2>\tssr_file\n\t3>\tout_file\n"},
    {"run_origin_label", {{}, {"a", "b"}, {"a", "b", "c", "d"}}, 255,
     "Usage:\n\t%s\t<>\t<>\t<>\n\t1>\tOMIM+SWISS" + k_launcher_tail},
    {"run_tier_sort", {{"a", "b"}}, 255, "Usage:\n\t%s\t<>\t<>\t<>\n\t1>\trun_tier_sort" + k_launcher_tail},
    {"run_tessaro", {{"a", "b"}}, 255, "Usage:\n\t%s\t<>\t<>\t<>\n\t1>\tTessaro" + k_launcher_tail},
    {"table_to_accession", {{}, {"a"}, {"--keys", "chr", "a"}, {"--keys", "other", "a", "b"}}, 2,
     "Usage:\n\t%s\t[--keys chr|numeric]\t[--aside FILE]\tTABLE\tOUT\n"
     "\tTABLE\tthe table of vcf_to_table (plain or gzip; - reads standard input)\n"
     "\tOUT\tthe table the annotators read: a header line, chromosomes named by accession\n"
     "\t--keys\tchromosome names of TABLE: chr (chr1..chrY, the default) or numeric (1..Y)\n"
     "\t--aside\twhere rows of chromosomes without an accession go (else they are left out)\n"
     "The rows keep the order of TABLE; the annotators need them sorted. Sort them with\n"
     "\t{ head -n 1 OUT; tail -n +2 OUT | LC_ALL=C sort -s -t \"$(printf '\\t')\" -k1,1 -k2,2n; }\n"},
};

}  // namespace

TEST(Programs, UsageHelpAndVersion) {
    wes::test::ScratchDir dir;
    for (const Program& p : k_programs) {
        SCOPED_TRACE(p.name);
        std::string usage = p.usage;
        usage.replace(usage.find("%s"), 2, wes::test::bin_path(p.name));
        for (Words args : p.wrong) {
            // A wrong count runs nothing: no output, no perl (none on this PATH).
            for (std::string& a : args)
                if (a == "OUT") a = dir.path("o");
            auto r = wes::test::run_program(p.name, args, {{"PATH", dir.dir()}});
            EXPECT_EQ(r.status, p.status);
            EXPECT_EQ(r.out, usage);
            EXPECT_EQ(r.err, "");
        }
        auto h = wes::test::run_program(p.name, {"--help"});
        EXPECT_EQ(h.status, 0);
        EXPECT_EQ(h.out, usage);
        auto v = wes::test::run_program(p.name, {"--version"});
        EXPECT_EQ(v.status, 0);
        EXPECT_EQ(v.out, p.name + " (wes-suite) " WES_VERSION "\n");
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir.dir()));
}
