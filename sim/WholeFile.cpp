#include "sim/WholeFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool ReadWholeFile(const char *path, std::size_t maxSize, std::vector<std::uint8_t> &out, bool *tooBig)
{
    if (tooBig)
        *tooBig = false;
    if (!path)
        return false;
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0;
    if (ok && static_cast<std::uint64_t>(st.st_size) > maxSize) {
        if (tooBig)
            *tooBig = true;
        ok = false;
    }
    if (ok) {
        out.resize(static_cast<std::size_t>(st.st_size));
        std::size_t done = 0;
        while (done < out.size()) {
            const ssize_t n = ::read(fd, out.data() + done, out.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            done += static_cast<std::size_t>(n);
        }
        out.resize(done);
        ok = done > 0;
    }
    ::close(fd);
    return ok;
}
