#include "core/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace pelmora {

std::string FileKindText(mode_t mode) {
    if (S_ISDIR(mode)) {
        return "a directory";
    }
    if (S_ISFIFO(mode)) {
        return "a FIFO";
    }
    if (S_ISCHR(mode)) {
        return "a character device";
    }
    if (S_ISBLK(mode)) {
        return "a block device";
    }
    if (S_ISSOCK(mode)) {
        return "a socket";
    }
    return S_ISREG(mode) ? "a regular file" : "no regular file";
}

int OpenRegularFile(const std::string& path, std::string* kind) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int e = errno;
        ::close(fd);
        if (kind != nullptr) {
            *kind = FileKindText(st.st_mode);
        }
        errno = S_ISREG(st.st_mode) ? e : EINVAL;
        return -1;
    }
    // Reads of a regular file never block; the flag is dropped for the stdio streams on it.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

std::string NotRegularProblem(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode)) {
        return {};
    }
    return path + ": " + FileKindText(st.st_mode) + ", not a regular file";
}

std::optional<std::vector<std::uint8_t>> ReadRegularFile(const std::string& path) {
    const int fd = OpenRegularFile(path);
    if (fd < 0) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes;
    std::uint8_t buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            bytes.insert(bytes.end(), buffer, buffer + n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        const int e = errno;
        ::close(fd);
        if (n < 0) {
            errno = e;
            return std::nullopt;
        }
        return bytes;
    }
}

}  // namespace pelmora
