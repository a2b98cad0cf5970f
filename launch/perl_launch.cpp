#include "perl_launch.hpp"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <spawn.h>
#include <sys/wait.h>

#include "build_config.hpp"
#include "settings.hpp"

extern char** environ;

namespace wes {

std::vector<std::string> origin_label_words(const std::string& in, const std::string& out) {
    return {"perl",
            "--",
            path_setting("WES_ORIGIN_LABEL_SCRIPT", build::origin_label_script),
            in,
            path_setting("WES_OMIM_DB", build::omim_db),
            path_setting("WES_SWISSVAR_DB", build::swissvar_db),
            path_setting("WES_HGMD_DB", build::hgmd_db),
            path_setting("WES_CLINVAR_DB", build::clinvar_db),
            out};
}

std::vector<std::string> tier_sort_words(const std::string& in, const std::string& out) {
    return {"perl", "--", path_setting("WES_TIER_SORT_SCRIPT", build::tier_sort_script), in, out};
}

std::vector<std::string> tessaro_words(const std::string& in, const std::string& out) {
    return {"perl", "--", path_setting("WES_TESSARO_SCRIPT", build::tessaro_script), "-f", "table", "-i", in,
            "-o", out};
}

void print_launcher_usage(const char* invoked_as, const char* label_line) {
    std::printf("Usage:\n");
    std::printf("\t%s\t<>\t<>\t<>\n", invoked_as);
    std::printf("%s\n", label_line);
    std::printf("\t2>\tinfile\n");
    std::printf("\t3>\toutfile\n");
}

namespace {

// Like system(), the launcher ignores the terminal's interrupt and quit while the
// script runs (the script gets them and its status tells), and the script starts
// with both at their defaults.
class IgnoreInterrupts {
public:
    IgnoreInterrupts() {
        struct sigaction ign {};
        ign.sa_handler = SIG_IGN;
        sigemptyset(&ign.sa_mask);
        sigaction(SIGINT, &ign, &old_int_);
        sigaction(SIGQUIT, &ign, &old_quit_);
    }
    ~IgnoreInterrupts() {
        sigaction(SIGINT, &old_int_, nullptr);
        sigaction(SIGQUIT, &old_quit_, nullptr);
    }
    IgnoreInterrupts(const IgnoreInterrupts&) = delete;
    IgnoreInterrupts& operator=(const IgnoreInterrupts&) = delete;

private:
    struct sigaction old_int_ {};
    struct sigaction old_quit_ {};
};

}  // namespace

int run_words(const std::vector<std::string>& words) {
    std::vector<char*> argv;
    argv.reserve(words.size() + 1);
    for (const std::string& w : words) argv.push_back(const_cast<char*>(w.c_str()));
    argv.push_back(nullptr);

    std::fflush(nullptr);
    IgnoreInterrupts quiet;
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGQUIT);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF);
    pid_t pid = 0;
    int err = posix_spawnp(&pid, argv[0], nullptr, &attr, argv.data(), environ);
    posix_spawnattr_destroy(&attr);
    if (err != 0) {
        std::printf("Error: cannot start %s: %s\n", argv[0], std::strerror(err));
        std::fflush(stdout);
        return 127;
    }
    int st = 0;
    while (waitpid(pid, &st, 0) < 0) {
        if (errno != EINTR) {
            std::printf("Error: lost track of %s: %s\n", argv[0], std::strerror(errno));
            std::fflush(stdout);
            return exit_failure;
        }
    }
    if (WIFEXITED(st)) return WEXITSTATUS(st);
    if (WIFSIGNALED(st)) return 128 + WTERMSIG(st);
    return exit_failure;
}

int launcher_main(int argc, char** argv, const char* program, HelpPrinter help, PerlWords words) {
    try {
        handle_common_options(argc, argv, program, help);
        if (argc != 4) {
            help(argc > 0 ? argv[0] : program);
            return 255;
        }
        return run_words(words(argv[2], argv[3]));
    } catch (const std::exception& e) {
        std::printf("Error: %s\n", e.what());
        std::fflush(stdout);
        return exit_failure;
    }
}

}  // namespace wes
