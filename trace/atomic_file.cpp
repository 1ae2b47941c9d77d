#include "trace/atomic_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace pelmora {

AtomicFile::~AtomicFile() { Discard(); }

bool AtomicFile::Open(const std::string& path) {
    Discard();
    path_ = path;
    std::vector<char> name(path.begin(), path.end());
    const std::string suffix = ".tmp-XXXXXX";
    name.insert(name.end(), suffix.begin(), suffix.end());
    name.push_back('\0');
    const int fd = mkstemp(name.data());
    if (fd < 0) {
        return false;
    }
    // mkstemp creates 0600; a data file should read like any other file of the user.
    fchmod(fd, 0644);
    file_ = fdopen(fd, "wb");
    if (file_ == nullptr) {
        const int saved = errno;
        close(fd);
        unlink(name.data());
        errno = saved;
        return false;
    }
    tempPath_ = name.data();
    return true;
}

bool AtomicFile::Write(const void* data, std::size_t size) {
    return file_ != nullptr && std::fwrite(data, 1, size, file_) == size;
}

bool AtomicFile::Commit() {
    if (file_ == nullptr) {
        errno = EBADF;
        return false;
    }
    bool ok = std::fflush(file_) == 0 && fsync(fileno(file_)) == 0;
    int saved = errno;
    ok = (std::fclose(file_) == 0) && ok;
    file_ = nullptr;
    if (ok && std::rename(tempPath_.c_str(), path_.c_str()) == 0) {
        tempPath_.clear();
        return true;
    }
    saved = errno != 0 ? errno : saved;
    unlink(tempPath_.c_str());
    tempPath_.clear();
    errno = saved;
    return false;
}

void AtomicFile::Discard() {
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
    }
    if (!tempPath_.empty()) {
        unlink(tempPath_.c_str());
        tempPath_.clear();
    }
}

}  // namespace pelmora
