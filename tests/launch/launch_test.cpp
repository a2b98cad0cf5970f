#include <gtest/gtest.h>
#include <map>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "build_config.hpp"
#include "perl_launch.hpp"
#include "test_util.hpp"

namespace {

using wes::test::read_file;
using wes::test::run_program;
using wes::test::ScratchDir;
using Words = std::vector<std::string>;

// A stand-in perl, first on PATH: writes each argument on a line of $FAKE_PERL_LOG, then
// ends by the signal $FAKE_PERL_SIGNAL or with the status $FAKE_PERL_STATUS. With
// $FAKE_PERL_TRAP it sends that signal to the launcher (unless $FAKE_PERL_AT_TERMINAL; it
// creates $FAKE_PERL_LOG.ready) and, when the signal comes, writes its name to
// $FAKE_PERL_LOG.caught and exits 5 (after 10 s without it, 0).
class FakePerl {
public:
    FakePerl() {
        wes::test::write_file(dir_.path("perl"),
                              "#!/bin/sh\n"
                              ": > \"$FAKE_PERL_LOG\"\n"
                              "for a in \"$@\"; do printf '%s\\n' \"$a\" >> \"$FAKE_PERL_LOG\"; done\n"
                              "if [ -n \"$FAKE_PERL_SIGNAL\" ]; then kill -\"$FAKE_PERL_SIGNAL\" $$; fi\n"
                              "if [ -n \"$FAKE_PERL_TRAP\" ]; then\n"
                              "  trap 'echo $FAKE_PERL_TRAP > \"$FAKE_PERL_LOG.caught\"; kill $!; exit 5' $FAKE_PERL_TRAP\n"
                              "  sleep 10 & : > \"$FAKE_PERL_LOG.ready\"\n"
                              "  [ -n \"$FAKE_PERL_AT_TERMINAL\" ] || kill -$FAKE_PERL_TRAP $PPID; wait; exit 0\n"
                              "fi\n"
                              "exit \"${FAKE_PERL_STATUS:-0}\"\n");
        ::chmod(dir_.path("perl").c_str(), 0755);
    }
    // Runs program (a path, or a name in the build) with env on top of this environment, the
    // launchers' own variables unset.
    wes::test::RunResult run(const std::string& program, const Words& args,
                             std::map<std::string, std::string> env = {}) const {
        for (const char* name : {"WES_ORIGIN_LABEL_SCRIPT", "WES_OMIM_DB", "WES_SWISSVAR_DB", "WES_HGMD_DB",
                                 "WES_CLINVAR_DB", "WES_TIER_SORT_SCRIPT", "WES_TESSARO_SCRIPT"})
            env.emplace(name, wes::test::unset);
        env["PATH"] = dir_.dir() + ":/usr/bin:/bin";
        env["FAKE_PERL_LOG"] = log();
        return wes::test::run_path(program[0] == '/' ? program : wes::test::bin_path(program), args, env);
    }
    std::string log() const { return dir_.path("args.log"); }
    // The arguments perl was given, its own name left out.
    Words words() const {
        Words w;
        std::string text = read_file(log());
        std::size_t p = 0, nl;
        while ((nl = text.find('\n', p)) != std::string::npos) {
            w.push_back(text.substr(p, nl - p));
            p = nl + 1;
        }
        return w;
    }
    const ScratchDir& dir() const { return dir_; }

private:
    ScratchDir dir_;
};

}  // namespace

TEST(LaunchWords, EachToolPassesItsArgumentsInTheFixedOrder) {
    FakePerl perl;
    auto r = perl.run("run_origin_label", {"", "in.txt", "out.txt"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(perl.words(), (Words{"--", wes::build::origin_label_script, "in.txt", wes::build::omim_db,
                                   wes::build::swissvar_db, wes::build::hgmd_db, wes::build::clinvar_db,
                                   "out.txt"}));
    r = perl.run("run_tier_sort", {"label", "in.txt", "out.txt"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(perl.words(), (Words{"--", wes::build::tier_sort_script, "in.txt", "out.txt"}));
    r = perl.run("run_tessaro", {"a", "b", "c"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(perl.words(), (Words{"--", wes::build::tessaro_script, "-f", "table", "-i", "b", "-o", "c"}));
}

TEST(LaunchWords, EnvironmentOverridesEachPathWhenSetAndNotEmpty) {
    FakePerl perl;
    perl.run("run_origin_label", {"x", "in", "out"},
             {{"WES_ORIGIN_LABEL_SCRIPT", "/s/ol.pl"},
              {"WES_OMIM_DB", "/d/omim"},
              {"WES_SWISSVAR_DB", "/d/swiss"},
              {"WES_HGMD_DB", "/d/hgmd"},
              {"WES_CLINVAR_DB", "/d/clinvar"}});
    EXPECT_EQ(perl.words(), (Words{"--", "/s/ol.pl", "in", "/d/omim", "/d/swiss", "/d/hgmd", "/d/clinvar", "out"}));
    perl.run("run_tier_sort", {"x", "in", "out"}, {{"WES_TIER_SORT_SCRIPT", "/s/tier.pl"}});
    EXPECT_EQ(perl.words(), (Words{"--", "/s/tier.pl", "in", "out"}));
    perl.run("run_tessaro", {"x", "in", "out"}, {{"WES_TESSARO_SCRIPT", "/s/t.pl"}});
    EXPECT_EQ(perl.words(), (Words{"--", "/s/t.pl", "-f", "table", "-i", "in", "-o", "out"}));
    // Empty means unset: the compiled-in path again.
    perl.run("run_tier_sort", {"x", "in", "out"}, {{"WES_TIER_SORT_SCRIPT", ""}});
    EXPECT_EQ(perl.words(), (Words{"--", wes::build::tier_sort_script, "in", "out"}));
    // A script path that looks like a switch is still the script.
    perl.run("run_tier_sort", {"x", "in", "out"}, {{"WES_TIER_SORT_SCRIPT", "-e"}});
    EXPECT_EQ(perl.words(), (Words{"--", "-e", "in", "out"}));
}

TEST(LaunchWords, PathsReachTheScriptAsOneArgumentAndNoShellRuns) {
    FakePerl perl;
    const std::string marker = perl.dir().path("ran");
    const std::string in = "my input; touch " + marker;
    const std::string out = "$(touch " + marker + ") `touch " + marker + "` | > *";
    auto r = perl.run("run_tier_sort", {"x", in, out});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(perl.words(), (Words{"--", wes::build::tier_sort_script, in, out}));
    EXPECT_FALSE(wes::test::file_exists(marker));
    r = perl.run("run_tessaro", {"x", ";rm -rf x", ""});
    EXPECT_EQ(perl.words(), (Words{"--", wes::build::tessaro_script, "-f", "table", "-i", ";rm -rf x", "-o", ""}));
}

TEST(LaunchStatus, ScriptStatusSignalAndMissingPerl) {
    FakePerl perl;
    for (const char* tool : {"run_origin_label", "run_tier_sort", "run_tessaro"}) {
        SCOPED_TRACE(tool);
        EXPECT_EQ(perl.run(tool, {"x", "i", "o"}, {{"FAKE_PERL_STATUS", "3"}}).status, 3);
        EXPECT_EQ(perl.run(tool, {"x", "i", "o"}, {{"FAKE_PERL_STATUS", "0"}}).status, 0);
        // The script's interrupt and quit are at their defaults, whatever the launcher does with them.
        for (const auto& [sig, n] : std::map<std::string, int>{{"TERM", 15}, {"KILL", 9}, {"INT", 2}, {"QUIT", 3}})
            EXPECT_EQ(perl.run(tool, {"x", "i", "o"}, {{"FAKE_PERL_SIGNAL", sig}}).status, 128 + n) << sig;
        ScratchDir empty;
        auto r = run_program(tool, {"x", "i", "o"}, {{"PATH", empty.dir()}});
        EXPECT_EQ(r.status, 127);
        EXPECT_EQ(r.out, "Error: cannot start perl: No such file or directory\n");
    }
}

// Every signal sent to the launcher that would end it reaches the script, and the launcher
// ends with 128+N; one the caller left ignored stays ignored for the script; an interrupt
// typed at the terminal reaches the script only once, and its status stands.
// (script(1) starts the launcher through $SHELL; exec keeps a shell that would die of the
// interrupt itself out of the foreground group.)
TEST(LaunchStatus, SignalsToTheLauncherArePassedOnToTheScript) {
    FakePerl perl;
    const std::map<std::string, int> signals = {{"TERM", 15}, {"INT", 2},   {"HUP", 1},   {"QUIT", 3},
                                                {"USR1", 10}, {"USR2", 12}, {"ALRM", 14}, {"PIPE", 13}};
    for (const auto& [sig, n] : signals) {
        EXPECT_EQ(perl.run("run_tier_sort", {"x", "i", "o"}, {{"FAKE_PERL_TRAP", sig}}).status, 128 + n) << sig;
        EXPECT_EQ(read_file(perl.log() + ".caught"), sig + "\n");
    }
    // Under nohup: the script's HUP to itself is ignored, and it ends with its own status.
    const std::string nohup = "trap '' HUP; exec " + wes::test::bin_path("run_tier_sort") + " x i o";
    EXPECT_EQ(perl.run("/bin/sh", {"-c", nohup}, {{"FAKE_PERL_SIGNAL", "HUP"}, {"FAKE_PERL_STATUS", "4"}}).status, 4);
    ::unlink((perl.log() + ".ready").c_str());
    const std::string ctrl_c =
        "{ i=0; until [ -e " + perl.log() + ".ready ] || [ $((i+=1)) = 200 ]; do sleep 0.05; done; printf '\\003'; }";
    auto r = perl.run("/bin/sh", {"-c", ctrl_c + " | script -qec 'exec " + wes::test::bin_path("run_tier_sort") + " x i o' /dev/null"},
                      {{"FAKE_PERL_TRAP", "INT"}, {"FAKE_PERL_AT_TERMINAL", "1"}});
    EXPECT_EQ(r.status, 5);
    EXPECT_EQ(read_file(perl.log() + ".caught"), "INT\n");
}
