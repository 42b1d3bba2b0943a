// Starts a program several times and measures the wall time from the start until it prints its
// "ready" line (every pane painted and the UI answering an event), for the program and a bare
// Qt window in the same run, alternating. Prints startup_ms, bare_ms and their ratio (medians).
#include "bench/common/PrivateDisplay.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

// Milliseconds from spawning `program` until it writes a line starting with "ready", or -1.
double timeToReady(const char *program, int timeoutMs)
{
    int out[2];
    if (pipe(out) != 0)
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    char *argv[] = {const_cast<char *>(program), nullptr};
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, program, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (rc != 0) {
        close(out[0]);
        return -1;
    }
    std::string seen;
    double elapsed = -1;
    for (;;) {
        const auto now = std::chrono::steady_clock::now();
        const int left = timeoutMs - static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(now - start).count());
        if (left <= 0)
            break;
        pollfd p{out[0], POLLIN, 0};
        if (poll(&p, 1, left) <= 0)
            break;
        char buffer[512];
        const ssize_t n = read(out[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        seen.append(buffer, static_cast<size_t>(n));
        if (seen.find("ready") != std::string::npos) {
            elapsed = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
            break;
        }
    }
    close(out[0]);
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    return elapsed;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? -1 : v[v.size() / 2];
}

} // namespace


int main(int argc, char **argv)
{
    const int runs = argc > 1 ? std::atoi(argv[1]) : 7;
    const PrivateDisplay display;
    setenv("KORVANE_STARTUP_PROBE", "quit", 1);
    std::vector<double> program, bare;
    // One warm-up of each so both find the libraries in the page cache.
    timeToReady("./korvane", 30000);
    timeToReady("./bench-bare-window", 30000);
    for (int i = 0; i < runs; ++i) {
        // Each program start finds no viewer running, as after a fresh login.
        std::system("pkill -f -x ./Video/Video >/dev/null 2>&1");
        const double p = timeToReady("./korvane", 30000);
        const double b = timeToReady("./bench-bare-window", 30000);
        if (p < 0 || b < 0) {
            std::fprintf(stderr, "run %d: no ready line (program %.1f, bare %.1f)\n", i, p, b);
            return 1;
        }
        program.push_back(p);
        bare.push_back(b);
    }
    std::system("pkill -f -x ./Video/Video >/dev/null 2>&1");
    const double startup = median(program);
    const double baseline = median(bare);
    std::printf("startup_ms=%.1f\nbare_ms=%.1f\nratio=%.2f\n", startup, baseline, startup / baseline);
    return 0;
}
