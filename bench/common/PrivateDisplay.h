#pragma once

#include <csignal>
#include <cstdlib>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

// A private Xvfb for the lifetime of this object when no DISPLAY is given, so a benchmark that
// needs an X server runs on a headless machine too. With a DISPLAY set it does nothing.
class PrivateDisplay
{
public:
    PrivateDisplay()
    {
        const char *display = std::getenv("DISPLAY");
        if (display && *display)
            return;
        for (int n = 150; n < 200; ++n) {
            const std::string lock = "/tmp/.X" + std::to_string(n) + "-lock";
            if (access(lock.c_str(), F_OK) == 0)
                continue;
            const std::string name = ":" + std::to_string(n);
            char *argv[] = {const_cast<char *>("Xvfb"), const_cast<char *>(name.c_str()),
                            const_cast<char *>("-screen"), const_cast<char *>("0"),
                            const_cast<char *>("1600x1000x24"), const_cast<char *>("-nolisten"),
                            const_cast<char *>("tcp"), nullptr};
            if (posix_spawnp(&m_pid, "Xvfb", nullptr, nullptr, argv, environ) != 0) {
                m_pid = 0;
                return;
            }
            const std::string socket = "/tmp/.X11-unix/X" + std::to_string(n);
            for (int i = 0; i < 50 && access(socket.c_str(), F_OK) != 0; ++i)
                usleep(100000);
            setenv("DISPLAY", name.c_str(), 1);
            return;
        }
    }

    ~PrivateDisplay()
    {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
        }
    }

    PrivateDisplay(const PrivateDisplay &) = delete;
    PrivateDisplay &operator=(const PrivateDisplay &) = delete;

private:
    pid_t m_pid = 0;
};
