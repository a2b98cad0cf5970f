#include "perl_launch.hpp"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <spawn.h>
#include <sys/wait.h>

#include "build_config.hpp"
#include "program.hpp"

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

namespace {

// The signals a launcher passes on to its script. The terminal's interrupt is the exception:
// it reaches the whole foreground group, the script included, so like system() the launcher
// lets it pass and ends with the script's own status (and it ignores the terminal's quit).
// A signal that the launcher's caller left ignored (nohup) stays ignored.
constexpr int k_passed_on[] = {SIGTERM, SIGINT, SIGHUP};

bool ignored(int sig) {
    struct sigaction sa {};
    return sigaction(sig, nullptr, &sa) == 0 && sa.sa_handler == SIG_IGN;
}

void set_action(int sig, void (*handler)(int)) {
    struct sigaction sa {};
    sa.sa_handler = handler;
    sigemptyset(&sa.sa_mask);
    sigaction(sig, &sa, nullptr);
}

// Takes the next pending signal of watched that concerns the launcher: SIGCHLD when the
// script may have ended, else one to pass on. With poll set it does not wait, and returns
// 0 when none is pending.
int next_signal(const sigset_t& watched, bool poll) {
    static const timespec no_wait{};
    for (;;) {
        siginfo_t si;
        int sig = poll ? sigtimedwait(&watched, &si, &no_wait) : sigwaitinfo(&watched, &si);
        if (sig < 0) {
            if (errno == EINTR) continue;
            return poll ? 0 : SIGCHLD;  // EAGAIN: nothing pending (waiting fails only by EINTR)
        }
        if (sig == SIGINT && si.si_code == SI_KERNEL) continue;  // typed at the terminal
        return sig;
    }
}

}  // namespace

int run_words(const std::vector<std::string>& words) {
    std::vector<char*> argv;
    argv.reserve(words.size() + 1);
    for (const std::string& w : words) argv.push_back(const_cast<char*>(w.c_str()));
    argv.push_back(nullptr);
    std::fflush(nullptr);

    // The signals wait blocked until the launcher takes them, so one that comes before the
    // script starts, or before it is waited for, is never lost. SIGCHLD at its default: an
    // ignored one would have the script reaped unseen.
    sigset_t watched, before;
    sigemptyset(&watched);
    sigaddset(&watched, SIGCHLD);
    for (int sig : k_passed_on)
        if (!ignored(sig)) sigaddset(&watched, sig);
    sigprocmask(SIG_BLOCK, &watched, &before);
    set_action(SIGCHLD, SIG_DFL);
    set_action(SIGQUIT, SIG_IGN);
    for (int sig; (sig = next_signal(watched, true)) != 0;)
        if (sig != SIGCHLD) return 128 + sig;  // stopped before anything was started

    // The script starts with the caller's signal mask, and interrupt and quit at defaults.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGQUIT);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setsigmask(&attr, &before);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    pid_t pid = 0;
    int err = posix_spawnp(&pid, argv[0], nullptr, &attr, argv.data(), environ);
    posix_spawnattr_destroy(&attr);
    if (err != 0) {
        say("Error: cannot start %s: %s\n", argv[0], std::strerror(err));
        return 127;
    }
    // The script is reaped only after every signal taken so far was passed on, so its
    // process id cannot belong to another process yet.
    int passed = 0;
    int st = 0;
    for (;;) {
        int sig = next_signal(watched, false);
        if (sig != SIGCHLD) {
            kill(pid, sig);
            if (passed == 0) passed = sig;
            continue;
        }
        pid_t r = waitpid(pid, &st, WNOHANG);
        if (r == pid) break;
        if (r < 0 && errno != EINTR) {
            say("Error: lost track of %s: %s\n", argv[0], std::strerror(errno));
            return exit_failure;
        }
    }
    if (passed != 0) return 128 + passed;
    if (WIFEXITED(st)) return WEXITSTATUS(st);
    if (WIFSIGNALED(st)) return 128 + WTERMSIG(st);
    return exit_failure;
}

int launcher_main(int argc, char** argv, const char* program, const char* usage, PerlWords words) {
    return run_main(argc, argv, {program, usage, exit_failure}, [&](int n, char** v) {
        if (n != 4) {
            print_usage(v[0], usage);
            return exit_minus_one;
        }
        return run_words(words(v[2], v[3]));
    });
}

}  // namespace wes
