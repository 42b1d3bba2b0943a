#pragma once

#include "link/PrivateProfile.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <string>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

// Writes all of size bytes to fd, riding out interrupted calls.
inline bool writeAll(int fd, const char *data, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// Blocks until exactly size bytes have been read from fd; false at end of file or on an error.
inline bool readExactly(int fd, char *data, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::read(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// Points COM<number> at a device in the configuration the port reads (the working directory's).
inline void mapCom(unsigned number, const std::string &path)
{
    PrivateProfile::WriteString("./config.ini", "com_ports", "COM" + std::to_string(number), path);
}

// A pseudo-terminal pair: the port opens the slave by its path, the caller plays the arm's
// controller on the master. The pair keeps a slave descriptor of its own to look at the line.
struct PtyPair
{
    int master = -1;
    int slave = -1;
    std::string path; // empty when no pair could be opened

    PtyPair()
    {
        char name[128] = {};
        if (openpty(&master, &slave, name, nullptr, nullptr) != 0)
            return;
        path = name;
        fcntl(master, F_SETFD, FD_CLOEXEC);
        fcntl(slave, F_SETFD, FD_CLOEXEC);
    }
    ~PtyPair()
    {
        closeMaster();
        if (slave >= 0)
            ::close(slave);
    }
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    void closeMaster()
    {
        if (master >= 0)
            ::close(master);
        master = -1;
    }
    // No line discipline on the slave side, so plain reads there see every byte as written.
    void makeRaw() const
    {
        termios t{};
        tcgetattr(slave, &t);
        cfmakeraw(&t);
        tcsetattr(slave, TCSANOW, &t);
    }
    // Sends bytes to the port's side.
    bool write(const std::string &bytes) const { return writeAll(master, bytes.data(), bytes.size()); }
    // What the port transmitted: exactly count bytes, or fewer when they do not come in time.
    std::string read(size_t count, int timeoutMs = 5000) const
    {
        std::string out;
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (out.size() < count) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now()).count();
            if (left <= 0)
                break;
            pollfd p{master, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(left)) <= 0)
                continue;
            char buffer[4096];
            const ssize_t n = ::read(master, buffer, std::min(sizeof buffer, count - out.size()));
            if (n <= 0)
                break;
            out.append(buffer, static_cast<size_t>(n));
        }
        return out;
    }
    // Bytes waiting in the port's input queue.
    int unreadAtPort() const
    {
        int n = -1;
        ioctl(slave, FIONREAD, &n);
        return n;
    }
};
