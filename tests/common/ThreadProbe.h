#pragma once

#include <cstdint>
#include <cstdlib>
#include <dirent.h>
#include <set>
#include <time.h>

// Kernel ids of this process's threads.
inline std::set<int> threadIds()
{
    std::set<int> ids;
    if (DIR *dir = opendir("/proc/self/task")) {
        while (dirent *e = readdir(dir))
            if (e->d_name[0] != '.')
                ids.insert(std::atoi(e->d_name));
        closedir(dir);
    }
    return ids;
}

// CPU time of one thread of this process, by its kernel thread id; -1 when it cannot be read.
inline std::int64_t threadCpuNs(int tid)
{
    // The kernel's per-thread CPU clock: ~tid << 3 | CPUCLOCK_SCHED | CPUCLOCK_PERTHREAD.
    const clockid_t clock = static_cast<clockid_t>((~static_cast<unsigned>(tid) << 3) | 6u);
    timespec ts{};
    if (clock_gettime(clock, &ts) != 0)
        return -1;
    return std::int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}
