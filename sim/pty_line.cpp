#include "sim/pty_line.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace pelmora::sim {
namespace {

struct SpeedRate {
    speed_t speed;
    int rate;
};
constexpr std::array<SpeedRate, 11> kSpeeds = {{{B1200, 1200},
                                                {B2400, 2400},
                                                {B4800, 4800},
                                                {B9600, 9600},
                                                {B19200, 19200},
                                                {B38400, 38400},
                                                {B57600, 57600},
                                                {B115200, 115200},
                                                {B230400, 230400},
                                                {B460800, 460800},
                                                {B921600, 921600}}};

std::string Reason(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

}  // namespace

int SpeedToRate(unsigned speed) {
    for (const auto& s : kSpeeds) {
        if (s.speed == speed) {
            return s.rate;
        }
    }
    return 0;
}

unsigned RateToSpeed(int rate) {
    for (const auto& s : kSpeeds) {
        if (s.rate == rate) {
            return s.speed;
        }
    }
    return B0;
}

PtyLine::~PtyLine() {
    Close();
}

bool PtyLine::Open(int rate, std::string* error) {
    Close();
    auto fail = [&](const char* what) {
        if (error != nullptr) {
            *error = Reason(what);
        }
        Close();
        return false;
    };
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master_ < 0) {
        return fail("posix_openpt");
    }
    if (fcntl(master_, F_SETFD, FD_CLOEXEC) != 0) {
        return fail("fcntl");
    }
    if (grantpt(master_) != 0) {
        return fail("grantpt");
    }
    if (unlockpt(master_) != 0) {
        return fail("unlockpt");
    }
    std::array<char, 128> name{};
    if (ptsname_r(master_, name.data(), name.size()) != 0) {
        return fail("ptsname_r");
    }
    slavePath_ = name.data();
    hold_ = open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (hold_ < 0) {
        return fail("open slave");
    }
    // Raw 8N1 and no echo: the line discipline must not turn CR into LF or answer the sim's own
    // bytes back to it, whatever the client sets later.
    termios tio{};
    if (tcgetattr(hold_, &tio) != 0) {
        return fail("tcgetattr");
    }
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    const speed_t speed = RateToSpeed(rate);
    if (speed != B0) {
        cfsetispeed(&tio, speed);
        cfsetospeed(&tio, speed);
    }
    if (tcsetattr(hold_, TCSANOW, &tio) != 0) {
        return fail("tcsetattr");
    }
    return true;
}

void PtyLine::Close() {
    if (hold_ >= 0) {
        ::close(std::exchange(hold_, -1));
    }
    if (master_ >= 0) {
        ::close(std::exchange(master_, -1));
    }
}

int PtyLine::LineRate() const {
    termios tio{};
    // On Linux the master reports the slave's termios: that is the client's speed.
    if (master_ < 0 || tcgetattr(master_, &tio) != 0) {
        return 0;
    }
    return SpeedToRate(cfgetospeed(&tio));
}

bool PtyLine::SetLineRate(int rate) {
    termios tio{};
    const unsigned speed = RateToSpeed(rate);
    if (master_ < 0 || speed == 0 || tcgetattr(master_, &tio) != 0) {
        return false;
    }
    cfsetispeed(&tio, speed);
    cfsetospeed(&tio, speed);
    return tcsetattr(master_, TCSANOW, &tio) == 0;
}

std::size_t PtyLine::Unread() const {
    int count = 0;
    if (hold_ < 0 || ioctl(hold_, FIONREAD, &count) != 0 || count < 0) {
        return 0;
    }
    return static_cast<std::size_t>(count);
}

}  // namespace pelmora::sim
