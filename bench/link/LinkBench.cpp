// Serial link figures over a pseudo-terminal pair: per-byte delivery to an owner on a Qt thread,
// frame send latency and the idle watcher's CPU time, each beside a plain read or write on the
// same pair measured in the same run.
//   bench-link            all figures
//   bench-link receive    the receive figure alone (KORVANE_BENCH_BYTES sets the amount)
#include "link/CSerialPort.h"
#include "link/CommandFrames.h"
#include "link/QtSerialOwner.h"
#include "link/SerialMessages.h"
#include "link/SerialOwner.h"
#include "tests/common/EventLoopWait.h"
#include "tests/common/PtyPair.h"
#include "tests/common/ThreadProbe.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdlib>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

const size_t kReceiveBytes = std::getenv("KORVANE_BENCH_BYTES") ? std::strtoul(std::getenv("KORVANE_BENCH_BYTES"), nullptr, 10) : 4u << 20;
constexpr int kFrames = 10000;
constexpr int kComNumber = 5;

double seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

// Without a pair there is nothing to measure; raw, so the plain read loop sees every byte.
struct Pty : PtyPair
{
    Pty()
    {
        if (path.empty()) {
            std::perror("openpty");
            std::exit(1);
        }
        makeRaw();
    }
};

double threadCpuMs(int tid)
{
    const auto ns = threadCpuNs(tid);
    return ns < 0 ? -1 : ns / 1e6;
}

// Checks every byte against the expected stream as it is handed over, on the owner's thread.
class CheckingOwner : public SerialOwner
{
public:
    explicit CheckingOwner(const std::string &expected)
        : m_expected(expected)
    {
    }
    void OnSerialMessage(unsigned message, std::uintptr_t wparam, std::uintptr_t) override
    {
        if (message != SerialMessages::WM_SERIAL_BYTE)
            return;
        if (m_count < m_expected.size() && static_cast<char>(wparam) == m_expected[m_count])
            ++m_count;
        else
            m_wrong = true;
        if (m_count == m_expected.size())
            m_last = Clock::now();
    }
    size_t m_count = 0;
    bool m_wrong = false;
    Clock::time_point m_last;

private:
    const std::string &m_expected;
};

class NullOwner : public SerialOwner
{
public:
    void OnSerialMessage(unsigned, std::uintptr_t, std::uintptr_t) override {}
};

// Bytes per second handed one by one to an owner on this (Qt) thread.
double receiveRate(const std::string &data, bool &ok)
{
    Pty pty;
    mapCom(kComNumber, pty.path);
    CheckingOwner target(data);
    QtSerialOwner owner(target);
    CSerialPort port;
    if (!port.OpenPort(&owner, kComNumber, 115200) || !port.StartWatcher()) {
        ok = false;
        return 0;
    }
    // The watcher purges once when it starts; a transmit that reaches the peer comes after it.
    char sync[8];
    port.SendText("$070007#");
    readExactly(pty.master, sync, sizeof sync);

    const auto start = Clock::now();
    std::thread writer([&] { writeAll(pty.master, data.data(), data.size()); });
    runEventLoopUntil([&] { return target.m_count == data.size() || target.m_wrong; }, 600000, 5);
    writer.join();
    ok = target.m_count == data.size() && !target.m_wrong;
    return ok ? data.size() / seconds(target.m_last - start) : 0;
}

// The ceiling: a plain buffered read loop on the same kind of pair.
double readLoopRate(const std::string &data)
{
    Pty pty;
    const auto start = Clock::now();
    std::thread writer([&] { writeAll(pty.master, data.data(), data.size()); });
    std::vector<char> buffer(4096);
    size_t got = 0;
    while (got < data.size()) {
        const ssize_t n = read(pty.slave, buffer.data(), buffer.size());
        if (n <= 0)
            break;
        got += static_cast<size_t>(n);
    }
    const auto end = Clock::now();
    writer.join();
    return got / seconds(end - start);
}

double percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<size_t>(p * v.size()))];
}

// Microseconds from SendText to the peer having read the whole frame.
std::vector<double> sendLatencies(const std::string &frame)
{
    Pty pty;
    mapCom(kComNumber, pty.path);
    NullOwner owner;
    CSerialPort port;
    std::vector<double> us;
    if (!port.OpenPort(&owner, kComNumber, 115200) || !port.StartWatcher())
        return us;
    std::vector<char> got(frame.size());
    for (int i = 0; i < kFrames; ++i) {
        const auto start = Clock::now();
        port.SendText(frame.c_str());
        if (!readExactly(pty.master, got.data(), got.size()))
            break;
        us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    return us;
}

std::vector<double> directWriteLatencies(const std::string &frame)
{
    Pty pty;
    std::vector<double> us;
    std::vector<char> got(frame.size());
    for (int i = 0; i < kFrames; ++i) {
        const auto start = Clock::now();
        writeAll(pty.slave, frame.data(), frame.size());
        if (!readExactly(pty.master, got.data(), got.size()))
            break;
        us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    return us;
}

double idleWatcherCpuMs()
{
    Pty pty;
    mapCom(kComNumber, pty.path);
    NullOwner target;
    QtSerialOwner owner(target);
    CSerialPort port;
    if (!port.OpenPort(&owner, kComNumber))
        return -1;
    const auto before = threadIds();
    if (!port.StartWatcher())
        return -1;
    int watcher = -1;
    for (int id : threadIds())
        if (!before.count(id))
            watcher = id;
    const double start = threadCpuMs(watcher);
    QEventLoop loop;
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    loop.exec();
    return threadCpuMs(watcher) - start;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid() || chdir(dir.path().toLocal8Bit().constData()) != 0)
        return 1;

    std::string data(kReceiveBytes, '\0');
    std::mt19937 rng(1);
    for (char &c : data)
        c = static_cast<char>(rng());

    bool complete = false;
    const double receive = receiveRate(data, complete);
    if (argc > 1 && std::string(argv[1]) == "receive") { // quick look at the receive path alone
        std::printf("receive_bytes_per_s=%.0f complete=%d\n", receive, complete);
        return 0;
    }
    const double readLoop = readLoopRate(data);
    if (!complete) {
        std::fprintf(stderr, "received stream incomplete or out of order\n");
        return 1;
    }

    const std::string frame = CommandFrames::AllServos({90, 90, 90, 90, 110, 180}, 500); // 32 characters
    const auto send = sendLatencies(frame);
    const auto direct = directWriteLatencies(frame);
    if (send.size() != kFrames || direct.size() != kFrames) {
        std::fprintf(stderr, "frames lost\n");
        return 1;
    }
    const double sendP50 = percentile(send, 0.50), sendP99 = percentile(send, 0.99);
    const double directP50 = percentile(direct, 0.50), directP99 = percentile(direct, 0.99);
    const double idle = idleWatcherCpuMs();

    std::printf("receive_bytes_per_s=%.0f\n", receive);
    std::printf("read_loop_bytes_per_s=%.0f\n", readLoop);
    std::printf("receive_vs_read_loop=%.4f\n", receive / readLoop);
    std::printf("send_p50_us=%.1f\n", sendP50);
    std::printf("send_p99_us=%.1f\n", sendP99);
    std::printf("direct_write_p50_us=%.1f\n", directP50);
    std::printf("direct_write_p99_us=%.1f\n", directP99);
    std::printf("send_p50_vs_direct=%.2f\n", sendP50 / directP50);
    std::printf("send_p99_vs_direct=%.2f\n", sendP99 / directP99);
    std::printf("idle_watcher_cpu_ms=%.3f\n", idle);
    std::printf("frame_length=%zu\n", frame.size());
    return 0;
}
