#include "link/device_watch.h"

#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

namespace pelmora {
namespace {

std::string Parent(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The folder itself when it exists, else its nearest existing ancestor.
std::string ExistingFolder(std::string folder) {
    struct stat st {};
    while (::stat(folder.c_str(), &st) != 0 && folder != "/" && folder != ".") {
        folder = Parent(folder);
    }
    return folder;
}

constexpr std::uint32_t kFolderEvents =
    IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF;

}  // namespace

DeviceWatch::DeviceWatch() {
    if (::pipe2(stopPipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
        stopPipe_[0] = stopPipe_[1] = -1;
    }
}

DeviceWatch::~DeviceWatch() {
    for (const int fd : stopPipe_) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

void DeviceWatch::Stop() {
    if (stopPipe_[1] >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t n = ::write(stopPipe_[1], &byte, 1);
    }
}

bool DeviceWatch::WaitUntil(bool present, std::string& error) {
    const int events = EventFd();
    if (events < 0) {
        error = error.empty() ? "cannot watch for the device" : error;
        return false;
    }
    // Armed before the look, so that a change between the look and the wait is not missed.
    if (present) {
        TakeVanished();
    }
    for (;;) {
        if (Present().empty() != present) {
            break;
        }
        if (!present && TakeVanished()) {
            return true;
        }
        pollfd fds[2] = {{events, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
        const int n = ::poll(fds, stopPipe_[0] >= 0 ? 2 : 1, -1);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            error = std::string("waiting for the device: ") + std::strerror(errno);
            return false;
        }
        ++wakeUps_;
        if ((fds[1].revents & POLLIN) != 0) {
            return false;
        }
        if (!Drain(error)) {
            return false;
        }
    }
    if (present) {
        // What went before it was found is over: only a later unplug counts.
        if (!Drain(error)) {
            return false;
        }
        TakeVanished();
    }
    return true;
}

PathWatch::PathWatch(std::string path) : path_(std::move(path)) {
    name_ = path_.substr(path_.find_last_of('/') + 1);
    fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
}

bool PathWatch::TakeVanished() {
    return std::exchange(vanished_, false);
}

PathWatch::~PathWatch() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

std::string PathWatch::Present() {
    // Through any link: a link whose device has gone is no logger.
    return ::access(path_.c_str(), F_OK) == 0 ? path_ : std::string();
}

int PathWatch::EventFd() {
    if (fd_ < 0) {
        return -1;
    }
    std::string ignored;
    return Arm(ignored) ? fd_ : -1;
}

bool PathWatch::Arm(std::string& error) {
    // One descriptor holds each folder's watch once; re-adding one only updates it. Watches of
    // folders no longer wanted stay: they cost an extra look at most.
    std::vector<std::string> folders = {ExistingFolder(Parent(path_))};
    char target[PATH_MAX];
    const ssize_t n = ::readlink(path_.c_str(), target, sizeof target - 1);
    if (n > 0) {
        target[n] = '\0';
        const std::string to =
            target[0] == '/' ? std::string(target) : Parent(path_) + "/" + target;
        folders.push_back(ExistingFolder(Parent(to)));
    }
    for (const std::string& folder : folders) {
        if (::inotify_add_watch(fd_, folder.c_str(), kFolderEvents) < 0) {
            error = folder + ": cannot watch it: " + std::strerror(errno);
            return false;
        }
    }
    return true;
}

bool PathWatch::Drain(std::string& error) {
    alignas(inotify_event) char buffer[4096];
    ssize_t n = 0;
    while ((n = ::read(fd_, buffer, sizeof buffer)) > 0) {
        // The kernel hands whole events; each names its file within the watched folder.
        for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            const ssize_t size = static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if (at + size > n) {
                break;
            }
            if ((event->mask & (IN_DELETE | IN_MOVED_FROM)) != 0 && event->len > 0 &&
                name_ == event->name) {
                vanished_ = true;
            }
            at += size;
        }
    }
    return Arm(error);
}

}  // namespace pelmora
