// What the program costs while nobody uses it: its CPU share over an idle window, how long an
// event posted to its UI thread waits (its latency probe), and its CPU share while a joint key is
// held in the 3D view. The bare OpenGL window of the start-up benchmark is measured the same way
// in the same run (idle and latency; it has no joint keys).
//
//   bench-idle [--program PATH] [--bare PATH] [--idle-seconds N] [--moving-seconds N]
//
// --program points at another build's korvane (to compare against an older commit); each program
// runs in its own folder, where it finds its part files and its viewer.
#include "bench/common/PrivateDisplay.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

std::string folderOf(const std::string &path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

std::string realPath(const std::string &path)
{
    char buffer[PATH_MAX];
    return realpath(path.c_str(), buffer) ? std::string(buffer) : path;
}

std::string loadAverage()
{
    FILE *f = std::fopen("/proc/loadavg", "r");
    if (!f)
        return "?";
    char buffer[128] = {};
    const char *ok = std::fgets(buffer, sizeof buffer, f);
    std::fclose(f);
    if (!ok)
        return "?";
    // The first three fields: the 1, 5 and 15 minute averages.
    std::string text(buffer);
    size_t end = 0;
    for (int field = 0; field < 3 && end != std::string::npos; ++field)
        end = text.find(' ', end + (field ? 1 : 0));
    return text.substr(0, end);
}

// utime + stime of every thread of the process, in seconds.
double cpuSeconds(pid_t pid)
{
    const std::string path = "/proc/" + std::to_string(pid) + "/stat";
    FILE *f = std::fopen(path.c_str(), "r");
    if (!f)
        return -1;
    char buffer[1024];
    const size_t n = std::fread(buffer, 1, sizeof buffer - 1, f);
    std::fclose(f);
    buffer[n] = '\0';
    // Fields 14 and 15, counted from the last ")" so the command name cannot shift them.
    const char *p = std::strrchr(buffer, ')');
    if (!p)
        return -1;
    unsigned long long utime = 0, stime = 0;
    if (std::sscanf(p + 1, " %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &utime, &stime) != 2)
        return -1;
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// The viewer the program starts is detached from it: end the ones started from `folder` on our
// display, so every run starts as after a fresh login and none outlives the benchmark.
void endViewers(const std::string &folder)
{
    const std::string viewer = realPath(folder + "/Video/Video");
    const char *display = std::getenv("DISPLAY");
    const std::string wanted = std::string("DISPLAY=") + (display ? display : "");
    DIR *proc = opendir("/proc");
    if (!proc)
        return;
    while (dirent *entry = readdir(proc)) {
        const pid_t pid = std::atoi(entry->d_name);
        if (pid <= 0)
            continue;
        const std::string base = std::string("/proc/") + entry->d_name;
        char exe[PATH_MAX];
        const ssize_t length = readlink((base + "/exe").c_str(), exe, sizeof exe - 1);
        if (length <= 0 || std::string(exe, static_cast<size_t>(length)) != viewer)
            continue;
        FILE *f = std::fopen((base + "/environ").c_str(), "r");
        if (!f)
            continue;
        std::vector<char> env(65536);
        const size_t n = std::fread(env.data(), 1, env.size(), f);
        std::fclose(f);
        bool ours = false;
        for (size_t i = 0; i < n; i += std::strlen(env.data() + i) + 1)
            ours = ours || wanted == env.data() + i;
        if (ours)
            kill(pid, SIGTERM);
    }
    closedir(proc);
}

// A program started with both probes, its standard output read line by line.
class Probed
{
public:
    explicit Probed(const std::string &program)
    {
        int out[2];
        if (pipe(out) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        const std::string folder = folderOf(program);
        posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
        const std::string name = "./" + program.substr(program.rfind('/') + 1);
        char *argv[] = {const_cast<char *>(name.c_str()), nullptr};
        if (posix_spawn(&m_pid, name.c_str(), &actions, nullptr, argv, environ) != 0)
            m_pid = 0;
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        m_out = out[0];
    }

    ~Probed()
    {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
        }
        if (m_out >= 0)
            close(m_out);
    }

    Probed(const Probed &) = delete;
    Probed &operator=(const Probed &) = delete;

    pid_t pid() const { return m_pid; }

    // The next line that starts with `prefix`, or nothing within the time.
    std::optional<std::string> lineStarting(const std::string &prefix, std::chrono::milliseconds timeout)
    {
        const auto end = Clock::now() + timeout;
        for (;;) {
            size_t newline;
            while ((newline = m_seen.find('\n')) != std::string::npos) {
                std::string line = m_seen.substr(0, newline);
                m_seen.erase(0, newline + 1);
                if (line.compare(0, prefix.size(), prefix) == 0)
                    return line;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
            pollfd p{m_out, POLLIN, 0};
            if (left <= 0 || poll(&p, 1, static_cast<int>(left)) <= 0)
                return std::nullopt;
            char buffer[512];
            const ssize_t n = read(m_out, buffer, sizeof buffer);
            if (n <= 0)
                return std::nullopt;
            m_seen.append(buffer, static_cast<size_t>(n));
        }
    }

private:
    pid_t m_pid = 0;
    int m_out = -1;
    std::string m_seen;
};

// CPU share of the process over the time `during` takes (1.0 = one core busy).
template<typename F>
double cpuShare(pid_t pid, F during)
{
    const double cpu0 = cpuSeconds(pid);
    const auto t0 = Clock::now();
    during();
    const double cpu1 = cpuSeconds(pid);
    const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
    return cpu0 < 0 || cpu1 < 0 ? -1 : (cpu1 - cpu0) / wall;
}

double field(const std::string &line, const char *name)
{
    const auto at = line.find(std::string(name) + "=");
    return at == std::string::npos ? -1 : std::atof(line.c_str() + at + std::strlen(name) + 1);
}

struct Latency
{
    double p50 = -1, p99 = -1, max = -1;
};

// Opens and closes one sampling window of the program's latency probe.
Latency sampleLatency(Probed &program, std::chrono::seconds window)
{
    kill(program.pid(), SIGUSR1);
    std::this_thread::sleep_for(window);
    kill(program.pid(), SIGUSR1);
    const auto line = program.lineStarting("latency ", 10s);
    if (!line)
        return {};
    return {field(*line, "p50_ms"), field(*line, "p99_ms"), field(*line, "max_ms")};
}

// The largest mapped top-level window of the process.
Window windowOf(Display *display, pid_t pid)
{
    const Atom pidAtom = XInternAtom(display, "_NET_WM_PID", False);
    Window root, parent, *children = nullptr;
    unsigned count = 0;
    Window best = 0;
    long bestArea = 0;
    if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count))
        return 0;
    for (unsigned i = 0; i < count; ++i) {
        Atom type;
        int format;
        unsigned long items, after;
        unsigned char *data = nullptr;
        if (XGetWindowProperty(display, children[i], pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &items,
                               &after, &data) != Success || !data)
            continue;
        const long owner = items ? *reinterpret_cast<long *>(data) : 0;
        XFree(data);
        XWindowAttributes a;
        if (owner != pid || !XGetWindowAttributes(display, children[i], &a) || a.map_state != IsViewable)
            continue;
        if (long(a.width) * a.height > bestArea) {
            bestArea = long(a.width) * a.height;
            best = children[i];
        }
    }
    XFree(children);
    return best;
}

// Holds a key as a user does: one press, then the key's auto-repeat presses at `rate` per second.
void holdKey(Display *display, KeySym key, std::chrono::milliseconds length, int rate)
{
    const KeyCode code = XKeysymToKeycode(display, key);
    const auto end = Clock::now() + length;
    const auto interval = std::chrono::microseconds(1000000 / rate);
    for (auto next = Clock::now(); next < end; next += interval) {
        XTestFakeKeyEvent(display, code, True, CurrentTime);
        XFlush(display);
        std::this_thread::sleep_until(next + interval);
    }
    XTestFakeKeyEvent(display, code, False, CurrentTime);
    XFlush(display);
}

// Clicks into the 3D view (the left part of the window) so it has the keyboard, then holds the
// joint 1 keys in turn: A turns it one way, D back, so it never stops at its end. Returns the
// program's CPU share meanwhile, or -1 when its window cannot be found.
double movingShare(pid_t pid, std::chrono::milliseconds length)
{
    Display *display = XOpenDisplay(nullptr);
    if (!display)
        return -1;
    const Window window = windowOf(display, pid);
    if (!window) {
        XCloseDisplay(display);
        return -1;
    }
    XWindowAttributes a;
    XGetWindowAttributes(display, window, &a);
    int x = 0, y = 0;
    Window child;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), a.width / 4, a.height / 2, &x, &y, &child);
    XSetInputFocus(display, window, RevertToParent, CurrentTime);
    XTestFakeMotionEvent(display, -1, x, y, CurrentTime);
    XTestFakeButtonEvent(display, 1, True, CurrentTime);
    XTestFakeButtonEvent(display, 1, False, CurrentTime);
    XSync(display, False);
    std::this_thread::sleep_for(300ms); // the click reaches the view before the keys do
    // The X server's default auto-repeat: 25 presses a second.
    const double share = cpuShare(pid, [&] {
        holdKey(display, XK_a, length / 2, 25);
        holdKey(display, XK_d, length / 2, 25);
    });
    XCloseDisplay(display);
    return share;
}

struct Figures
{
    double idle = -1, moving = -1;
    Latency latency;
};

std::optional<Figures> measure(const std::string &program, std::chrono::seconds idle, std::chrono::seconds moving,
                               bool withKeys)
{
    const std::string folder = folderOf(program);
    endViewers(folder);
    Figures figures;
    {
        Probed probed(program);
        if (probed.pid() <= 0 || !probed.lineStarting("ready", 120s)) {
            std::fprintf(stderr, "bench-idle: %s never reported ready\n", program.c_str());
            return std::nullopt;
        }
        // Start-up leaves the viewer to be found and adopted; let that finish.
        std::this_thread::sleep_for(4s);
        figures.idle = cpuShare(probed.pid(), [&] { std::this_thread::sleep_for(idle); });
        // A window of its own: the probe's 100 events a second are not charged to the idle figure.
        figures.latency = sampleLatency(probed, idle);
        if (withKeys)
            figures.moving = movingShare(probed.pid(), moving);
    }
    endViewers(folder);
    return figures;
}

} // namespace

int main(int argc, char **argv)
{
    std::string program = "./korvane";
    std::string bare = "./bench-bare-window";
    int idleSeconds = 10, movingSeconds = 4;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--program")
            program = argv[i + 1];
        else if (option == "--bare")
            bare = argv[i + 1];
        else if (option == "--idle-seconds")
            idleSeconds = std::atoi(argv[i + 1]);
        else if (option == "--moving-seconds")
            movingSeconds = std::atoi(argv[i + 1]);
        else {
            std::fprintf(stderr, "usage: bench-idle [--program PATH] [--bare PATH] [--idle-seconds N] "
                                 "[--moving-seconds N]\n");
            return 2;
        }
    }
    const PrivateDisplay display;
    setenv("KORVANE_STARTUP_PROBE", "1", 1);
    setenv("KORVANE_LATENCY_PROBE", "1", 1);
    const std::string loadBefore = loadAverage();
    const auto figures = measure(program, std::chrono::seconds(idleSeconds), std::chrono::seconds(movingSeconds), true);
    const auto baseline = measure(bare, std::chrono::seconds(idleSeconds), {}, false);
    if (!figures || !baseline)
        return 1;
    std::printf("program=%s\n", realPath(program).c_str());
    std::printf("idle_cpu_share=%.4f\nmoving_cpu_share=%.4f\nbare_cpu_share=%.4f\n", figures->idle, figures->moving,
                baseline->idle);
    std::printf("ui_latency_p50_ms=%.2f\nui_latency_p99_ms=%.2f\nui_latency_max_ms=%.2f\n", figures->latency.p50,
                figures->latency.p99, figures->latency.max);
    std::printf("bare_latency_p50_ms=%.2f\nbare_latency_p99_ms=%.2f\n", baseline->latency.p50, baseline->latency.p99);
    std::printf("load_average_before=%s\nload_average_after=%s\n", loadBefore.c_str(), loadAverage().c_str());
    return 0;
}
