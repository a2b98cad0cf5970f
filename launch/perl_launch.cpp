#include "perl_launch.hpp"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <spawn.h>
#include <sys/wait.h>

#include "build_config.hpp"

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

constexpr int exit_cannot_start = 127;
int exit_by_signal(int sig) { return 128 + sig; }

// The signals a launcher passes on to its script: every one that ends a process by
// default and that another process may send (kill, a batch scheduler, a closed
// session). Those that report a fault of the launcher's own (SEGV, BUS, ABRT ...) keep
// their defaults. An interrupt or quit typed at the terminal reaches the whole
// foreground group, the script included: like system(), the launcher lets those pass and
// ends with the script's own status. A signal that the launcher's caller left ignored
// (nohup) stays ignored, for the launcher and the script.
constexpr int k_passed_on[] = {SIGHUP,  SIGINT,  SIGQUIT,   SIGTERM, SIGUSR1, SIGUSR2, SIGALRM, SIGPIPE,
                               SIGVTALRM, SIGPROF, SIGXCPU, SIGXFSZ, SIGIO,   SIGPWR,  SIGSTKFLT};

bool ignored(int sig) {
    struct sigaction sa {};
    return sigaction(sig, nullptr, &sa) == 0 && sa.sa_handler == SIG_IGN;
}

// The signals the launcher waits for: those it passes on, and SIGCHLD.
sigset_t watched_signals() {
    sigset_t watched;
    sigemptyset(&watched);
    sigaddset(&watched, SIGCHLD);
    for (int sig : k_passed_on)
        if (!ignored(sig)) sigaddset(&watched, sig);
    for (int sig = SIGRTMIN; sig <= SIGRTMAX; ++sig)
        if (!ignored(sig)) sigaddset(&watched, sig);
    return watched;
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
        if ((sig == SIGINT || sig == SIGQUIT) && si.si_code == SI_KERNEL) continue;  // typed at the terminal
        return sig;
    }
}

// Starts argv[0], found through PATH, with the caller's signal mask; 0 or the error.
// The launcher changes no signal's action but SIGCHLD's (to its default), so the script
// gets the caller's: an ignored one stays ignored.
int start_script(const std::vector<char*>& argv, const sigset_t& mask, pid_t& pid) {
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setsigmask(&attr, &mask);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK);
    const int err = posix_spawnp(&pid, argv[0], nullptr, &attr, argv.data(), environ);
    posix_spawnattr_destroy(&attr);
    return err;
}

// Waits for the script, passing on every signal of watched that comes meanwhile; its
// status, or 128 + N for N the first signal passed on. The script is reaped only after
// every signal taken so far was passed on, so its process id cannot belong to another
// process yet.
int wait_passing_on(pid_t pid, const sigset_t& watched, const char* name) {
    int passed = 0;
    int st = 0;
    for (;;) {
        const int sig = next_signal(watched, false);
        if (sig != SIGCHLD) {
            kill(pid, sig);
            if (passed == 0) passed = sig;
            continue;
        }
        const pid_t r = waitpid(pid, &st, WNOHANG);
        if (r == pid) break;
        if (r < 0 && errno != EINTR) {
            say("Error: lost track of %s: %s\n", name, std::strerror(errno));
            return exit_failure;
        }
    }
    if (passed != 0) return exit_by_signal(passed);
    if (WIFEXITED(st)) return WEXITSTATUS(st);
    if (WIFSIGNALED(st)) return exit_by_signal(WTERMSIG(st));
    return exit_failure;
}

}  // namespace

int run_words(const std::vector<std::string>& words) {
    std::vector<char*> argv;
    argv.reserve(words.size() + 1);
    for (const std::string& w : words) argv.push_back(const_cast<char*>(w.c_str()));
    argv.push_back(nullptr);

    // The signals wait blocked until the launcher takes them, so one that comes before the
    // script starts, or before it is waited for, is never lost. SIGCHLD at its default: an
    // ignored one would have the script reaped unseen.
    const sigset_t watched = watched_signals();
    sigset_t before;
    sigprocmask(SIG_BLOCK, &watched, &before);
    signal(SIGCHLD, SIG_DFL);
    for (int sig; (sig = next_signal(watched, true)) != 0;)
        if (sig != SIGCHLD) return exit_by_signal(sig);  // stopped before anything was started

    pid_t pid = 0;
    if (const int err = start_script(argv, before, pid)) {
        say("Error: cannot start %s: %s\n", argv[0], std::strerror(err));
        return exit_cannot_start;
    }
    return wait_passing_on(pid, watched, argv[0]);
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
