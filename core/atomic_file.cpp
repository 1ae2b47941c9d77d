#include "core/atomic_file.h"

#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <vector>

namespace pelmora {
namespace {

// The live temporaries, readable from a signal handler: a slot is claimed (1), filled, then
// published (2); the handler only reads published slots.
struct TempSlot {
    std::atomic<int> state{0};
    char path[PATH_MAX];
};
TempSlot gSlots[64];
static_assert(std::atomic<int>::is_always_lock_free);

int ClaimSlot(const std::string& path) {
    if (path.size() >= PATH_MAX) {
        return -1;  // still removed by the next run as a stale temporary
    }
    for (int i = 0; i < static_cast<int>(std::size(gSlots)); ++i) {
        int expected = 0;
        if (gSlots[i].state.compare_exchange_strong(expected, 1)) {
            std::memcpy(gSlots[i].path, path.c_str(), path.size() + 1);
            gSlots[i].state.store(2);
            return i;
        }
    }
    return -1;
}

void ReleaseSlot(int& slot) {
    if (slot >= 0) {
        gSlots[slot].state.store(0);
        slot = -1;
    }
}

extern "C" void RemoveTemporariesAndDie(int sig) {
    for (TempSlot& slot : gSlots) {
        if (slot.state.load() == 2) {
            unlink(slot.path);
        }
    }
    signal(sig, SIG_DFL);
    raise(sig);
}

// The process's umask without changing it (umask() can only be read by setting it, which would
// race with other threads creating files).
mode_t CurrentUmask() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) == 0) {
            return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
        }
    }
    const mode_t old = umask(022);
    umask(old);
    return old;
}

std::string TempPrefix(const std::string& base) {
    return base + ".tmp-";
}

}  // namespace

void RemoveStaleTemporaries(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const std::string prefix =
        TempPrefix(slash == std::string::npos ? path : path.substr(slash + 1));
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) {
        return;
    }
    const pid_t self = getpid();
    while (const dirent* entry = readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix) {
            continue;
        }
        // "<pid>-XXXXXX": a temporary of a process that no longer exists is stale.
        const std::string rest(name.substr(prefix.size()));
        char* end = nullptr;
        const long pid = std::strtol(rest.c_str(), &end, 10);
        if (pid <= 0 || *end != '-' || std::strlen(end + 1) != 6 || pid == self) {
            continue;
        }
        if (kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) {
            unlink((folder + std::string(name)).c_str());
        }
    }
    closedir(dir);
}

void InstallTemporaryCleanup() {
    for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction current {};
        if (sigaction(sig, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) {
            struct sigaction action {};
            action.sa_handler = RemoveTemporariesAndDie;
            sigemptyset(&action.sa_mask);
            sigaction(sig, &action, nullptr);
        }
    }
}

AtomicFile::~AtomicFile() {
    Discard();
}

bool AtomicFile::Open(const std::string& path) {
    Discard();
    path_ = path;
    if (struct stat present{}; stat(path.c_str(), &present) == 0 && !S_ISREG(present.st_mode)) {
        errno = S_ISDIR(present.st_mode) ? EISDIR : EEXIST;
        return false;
    }
    RemoveStaleTemporaries(path);
    std::string pattern = TempPrefix(path) + std::to_string(getpid()) + "-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = mkstemp(name.data());
    if (fd < 0) {
        return false;
    }
    // mkstemp creates 0600. A replaced file keeps its mode (a private track stays private); a
    // new one gets what a plain open would give it.
    struct stat existing {};
    const mode_t mode = stat(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)
                            ? existing.st_mode & 07777
                            : 0666 & ~CurrentUmask();
    fchmod(fd, mode);
    file_ = fdopen(fd, "wb");
    if (file_ == nullptr) {
        const int saved = errno;
        close(fd);
        unlink(name.data());
        errno = saved;
        return false;
    }
    tempPath_ = name.data();
    slot_ = ClaimSlot(tempPath_);
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
        ReleaseSlot(slot_);
        tempPath_.clear();
        return true;
    }
    saved = errno != 0 ? errno : saved;
    unlink(tempPath_.c_str());
    ReleaseSlot(slot_);
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
        ReleaseSlot(slot_);
        tempPath_.clear();
    }
}

}  // namespace pelmora
