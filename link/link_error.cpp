#include "link/link_error.h"

#include <dirent.h>
#include <grp.h>
#include <limits.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>

namespace pelmora {
namespace {

std::string ReadFirstLine(const std::string& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

std::string ProcessName(long pid) {
    std::string name = ReadFirstLine("/proc/" + std::to_string(pid) + "/comm");
    if (name.empty()) {
        name = "process";
    }
    return name + " (pid " + std::to_string(pid) + ")";
}

bool IsNumber(const char* s) {
    if (*s == '\0') {
        return false;
    }
    for (; *s != '\0'; ++s) {
        if (*s < '0' || *s > '9') {
            return false;
        }
    }
    return true;
}

// The holders of a flock on the file: /proc/locks names the inode by the device of its file
// system (hexadecimal major:minor) and its number.
std::vector<std::string> LockHolders(const struct stat& st) {
    std::vector<std::string> holders;
    std::ifstream locks("/proc/locks");
    char wanted[64];
    std::snprintf(wanted, sizeof wanted, "%02x:%02x:%llu", major(st.st_dev), minor(st.st_dev),
                  static_cast<unsigned long long>(st.st_ino));
    std::string line;
    while (std::getline(locks, line)) {
        std::istringstream fields(line);
        std::string id, kind, advisory, mode, pid, inode;
        fields >> id >> kind;
        if (kind == "->") {  // a waiter, not a holder
            continue;
        }
        fields >> advisory >> mode >> pid >> inode;
        if (kind != "FLOCK" || inode != wanted) {
            continue;
        }
        const long p = std::strtol(pid.c_str(), nullptr, 10);
        if (p > 0) {
            holders.push_back(ProcessName(p));
        }
    }
    return holders;
}

// The number of a pseudo-terminal slave (/dev/pts/N), or -1 for any other device.
long PtyIndex(dev_t device) {
    const unsigned m = major(device);
    return m >= 136 && m <= 143 ? static_cast<long>((m - 136) * 256 + minor(device)) : -1;
}

// True when the descriptor is a pseudo-terminal master (/dev/ptmx) whose slave is `index`.
bool IsMasterOf(const std::string& procDir, const char* fd, const struct stat& target, long index) {
    if (index < 0 || major(target.st_rdev) != 5 || minor(target.st_rdev) != 2) {
        return false;
    }
    std::ifstream info(procDir + "fdinfo/" + fd);
    std::string line;
    while (std::getline(info, line)) {
        if (line.rfind("tty-index:", 0) == 0) {
            return std::strtol(line.c_str() + 10, nullptr, 10) == index;
        }
    }
    return false;
}

// Every other process with the character device open. The one that holds a pseudo-terminal's
// master is the line's other end (a simulated logger, a bridge to a radio link), not a rival,
// even when it keeps the slave open as well.
std::vector<std::string> OpenHolders(const struct stat& st) {
    std::vector<std::string> holders;
    std::unique_ptr<DIR, int (*)(DIR*)> proc(::opendir("/proc"), ::closedir);
    if (!proc) {
        return holders;
    }
    const long self = static_cast<long>(::getpid());
    const long index = PtyIndex(st.st_rdev);
    while (const dirent* entry = ::readdir(proc.get())) {
        if (!IsNumber(entry->d_name)) {
            continue;
        }
        const long pid = std::strtol(entry->d_name, nullptr, 10);
        if (pid == self) {
            continue;
        }
        const std::string procDir = std::string("/proc/") + entry->d_name + "/";
        const std::string fdDir = procDir + "fd";
        std::unique_ptr<DIR, int (*)(DIR*)> fds(::opendir(fdDir.c_str()), ::closedir);
        if (!fds) {
            continue;  // another user's process: not ours to look into
        }
        bool holdsDevice = false;
        bool holdsMaster = false;
        while (const dirent* fd = ::readdir(fds.get())) {
            struct stat target {};
            if (!IsNumber(fd->d_name) || ::stat((fdDir + "/" + fd->d_name).c_str(), &target) != 0 ||
                !S_ISCHR(target.st_mode)) {
                continue;
            }
            holdsDevice = holdsDevice || target.st_rdev == st.st_rdev;
            holdsMaster = holdsMaster || IsMasterOf(procDir, fd->d_name, target, index);
        }
        if (holdsDevice && !holdsMaster) {
            holders.push_back(ProcessName(pid));
        }
    }
    return holders;
}

std::string JoinHolders(const std::vector<std::string>& holders) {
    std::string text;
    for (const std::string& h : holders) {
        text += (text.empty() ? "" : ", ") + h;
    }
    return text;
}

// The USB vendor and product ids above a tty in sysfs, when it sits on a USB device.
bool UsbIds(const std::string& path, std::string& vendor, std::string& product) {
    char real[PATH_MAX];
    if (::realpath(path.c_str(), real) == nullptr) {
        return false;
    }
    const std::string node = real;
    const std::string name = node.substr(node.find_last_of('/') + 1);
    char device[PATH_MAX];
    if (::realpath(("/sys/class/tty/" + name + "/device").c_str(), device) == nullptr) {
        return false;
    }
    for (std::string dir = device; dir.size() > std::strlen("/sys/devices");
         dir = dir.substr(0, dir.find_last_of('/'))) {
        vendor = ReadFirstLine(dir + "/idVendor");
        product = ReadFirstLine(dir + "/idProduct");
        if (!vendor.empty() && !product.empty()) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::vector<std::string> PortHolders(const std::string& path, bool byLock) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return {};
    }
    return byLock ? LockHolders(st) : OpenHolders(st);
}

std::string AccessAdvice(const std::string& path) {
    struct stat st {};
    std::string owner;
    if (::stat(path.c_str(), &st) == 0) {
        if (const struct group* g = ::getgrgid(st.st_gid); g != nullptr && g->gr_name != nullptr) {
            owner = g->gr_name;
        }
    }
    std::string advice;
    if (!owner.empty() && owner != "root") {
        advice = "join the " + owner + " group (sudo usermod -aG " + owner +
                 " $USER), then log in again";
    }
    std::string vendor, product;
    if (UsbIds(path, vendor, product)) {
        // A rule for the chip alone would hand out every such adapter: the rule names the
        // remembered logger by its serial number too.
        advice += std::string(advice.empty() ? "" : ", or ") +
                  "remember this logger (\"Download automatically when this logger is plugged "
                  "in\") and install its udev rule: pelmora-cli udev-rule | sudo tee "
                  "/etc/udev/rules.d/70-pelmora.rules";
    }
    if (advice.empty()) {
        advice = "ask the administrator for read and write access to it";
    }
    return advice;
}

LinkError BusyError(const std::string& path, bool byLock) {
    return BusyError(path, PortHolders(path, byLock));
}

LinkError BusyError(const std::string& path, const std::vector<std::string>& holders) {
    LinkError error{LinkFault::Busy, EBUSY, path + ": busy"};
    error.message +=
        holders.empty() ? ": another program holds it" : ": held by " + JoinHolders(holders);
    return error;
}

LinkError NotALoggerError(const std::string& path) {
    return {LinkFault::NotALogger, 0,
            path + ": not a data logger (it sends NMEA but does not answer the device-ID query)"};
}

LinkError OpenError(const std::string& path, int e) {
    switch (e) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
            return {LinkFault::Missing, e,
                    path + ": no such device (is the logger plugged in and switched on?)"};
        case EACCES:
        case EPERM:
            return {LinkFault::PermissionDenied, e,
                    path + ": permission denied: " + AccessAdvice(path)};
        case EBUSY:
            return BusyError(path, false);
        default:
            return {LinkFault::Other, e, path + ": " + std::strerror(e)};
    }
}

}  // namespace pelmora
