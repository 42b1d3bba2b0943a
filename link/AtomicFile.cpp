#include "link/AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace AtomicFile {

namespace {

std::string failure(int error, const std::string &temp)
{
    if (!temp.empty())
        ::unlink(temp.c_str());
    return std::strerror(error);
}

} // namespace

std::string Write(const std::string &path, std::string_view contents)
{
    // A unique name made with O_EXCL: a stale or planted temporary file is never written through.
    std::string temp = path + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return failure(errno, {});
    const char *p = contents.data();
    size_t left = contents.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int error = n < 0 ? errno : ENOSPC;
            ::close(fd);
            return failure(error, temp);
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    struct stat st;
    ::fchmod(fd, ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644);
    if (::fsync(fd) != 0) {
        const int error = errno;
        ::close(fd);
        return failure(error, temp);
    }
    if (::close(fd) != 0)
        return failure(errno, temp);
    if (std::rename(temp.c_str(), path.c_str()) != 0)
        return failure(errno, temp);
    return {};
}

} // namespace AtomicFile
