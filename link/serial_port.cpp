#include "link/serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <thread>

namespace pelmora {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// The cancel is set from a signal handler: only lock-free atomics may be touched there.
static_assert(std::atomic<bool>::is_always_lock_free);

// Without an eventfd (descriptors exhausted) a wait still sees the cancel flag this often.
constexpr milliseconds kCancelFallbackWait{100};

struct RateEntry {
    int rate;
    speed_t speed;
};

constexpr RateEntry kRates[] = {
    {1200, B1200},     {2400, B2400},     {4800, B4800},     {9600, B9600},
    {19200, B19200},   {38400, B38400},   {57600, B57600},   {115200, B115200},
    {230400, B230400}, {460800, B460800}, {921600, B921600},
};

bool LookupRate(int rate, speed_t& speed) {
    for (const RateEntry& e : kRates) {
        if (e.rate == rate) {
            speed = e.speed;
            return true;
        }
    }
    return false;
}

// Raw 8N1: no echo, no line editing, no CR/LF translation (the frames are binary), no software
// or hardware flow control (the logger has no handshake lines), CLOCAL so that a missing carrier
// neither blocks the open nor hangs up the line.
void MakeRaw(termios& tio, speed_t speed) {
    cfmakeraw(&tio);
    tio.c_cflag &= static_cast<tcflag_t>(~(CSIZE | PARENB | CSTOPB | CRTSCTS));
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_iflag &= static_cast<tcflag_t>(~(IXON | IXOFF | IXANY | INPCK | ISTRIP));
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    cfsetispeed(&tio, speed);
    cfsetospeed(&tio, speed);
}

int PollTimeout(milliseconds wait) {
    return static_cast<int>(std::clamp<milliseconds::rep>(wait.count(), 0, INT_MAX));
}

}  // namespace

SerialPort::SerialPort() : cancelFd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

SerialPort::~SerialPort() {
    Close();
    if (cancelFd_ >= 0) {
        ::close(cancelFd_);
    }
}

bool SerialPort::IsSupportedRate(int baudRate) {
    speed_t speed;
    return LookupRate(baudRate, speed);
}

bool SerialPort::Fail(LinkError error) {
    error_ = std::move(error);
    ReleaseHandle();
    return false;
}

void SerialPort::ReleaseHandle() {
    if (fd_ >= 0) {
        ::close(fd_);  // also drops the flock
    }
    fd_ = -1;
    opened_ = false;
    haveSaved_ = false;
}

bool SerialPort::Open(const std::string& path, int baudRate) {
    Close();
    path_ = path;
    baud_.store(baudRate);
    error_ = {};
    hungUp_.store(false);
    lostErrno_.store(0);

    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) {
        return Fail(OpenError(path, errno));
    }
    opened_ = true;
    // The port is not shared: an advisory lock keeps a second manager (or a second window) off
    // the line, where interleaved frames would confuse both.
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        return Fail(BusyError(path, true));
    }
    termios tio{};
    if (::tcgetattr(fd_, &tio) != 0) {
        const int e = errno;
        return Fail({LinkFault::NotSerial, e, path + ": not a serial device: " + std::strerror(e)});
    }
    // Another program with the terminal open, locked or not, would read the answers meant for
    // us or cut into our frames: refused before the line is set up or a byte is sent.
    if (const auto holders = PortHolders(path, false); !holders.empty()) {
        return Fail(BusyError(path, holders));
    }
    saved_ = tio;
    haveSaved_ = true;
    speed_t speed;
    if (!LookupRate(baudRate, speed)) {
        return Fail({LinkFault::UnsupportedRate, EINVAL,
                     path + ": unsupported baud rate " + std::to_string(baudRate)});
    }
    MakeRaw(tio, speed);
    if (::tcsetattr(fd_, TCSANOW, &tio) != 0) {
        const int e = errno;
        return Fail(
            {LinkFault::LineSetup, e, path + ": cannot set up the line: " + std::strerror(e)});
    }
    // Some adapters power the receiver's level shifter from DTR/RTS. A pseudo-terminal has no
    // modem lines and refuses the request: that is not an error here.
    int lines = TIOCM_DTR | TIOCM_RTS;
    (void)::ioctl(fd_, TIOCMBIS, &lines);
    if (::tcflush(fd_, TCIOFLUSH) != 0) {
        const int e = errno;
        return Fail(
            {LinkFault::LineSetup, e, path + ": cannot clear the line: " + std::strerror(e)});
    }
    MarkAnswered();
    connected_.store(true);
    return true;
}

void SerialPort::Close() {
    if (opened_ && fd_ >= 0) {
        DrainOutput();
    }
    connected_.store(false);
    if (opened_ && fd_ >= 0) {
        if (haveSaved_) {
            (void)::tcsetattr(fd_, TCSADRAIN, &saved_);
        }
    }
    ReleaseHandle();
}

bool SerialPort::ChangeRate(int baudRate) {
    if (!opened_ || fd_ < 0) {
        error_ = {LinkFault::Other, EBADF, path_ + ": not open"};
        return false;
    }
    speed_t speed;
    if (!LookupRate(baudRate, speed)) {
        error_ = {LinkFault::UnsupportedRate, EINVAL,
                  path_ + ": unsupported baud rate " + std::to_string(baudRate)};
        return false;
    }
    termios tio{};
    if (::tcgetattr(fd_, &tio) != 0) {
        const int e = errno;
        error_ = {LinkFault::Lost, e, path_ + ": " + std::strerror(e)};
        return false;
    }
    cfsetispeed(&tio, speed);
    cfsetospeed(&tio, speed);
    DrainOutput();
    if (::tcsetattr(fd_, TCSADRAIN, &tio) != 0) {
        const int e = errno;
        error_ = {LinkFault::LineSetup, e, path_ + ": cannot change the rate: " + std::strerror(e)};
        return false;
    }
    baud_.store(baudRate);
    return true;
}

void SerialPort::FlushInput() {
    if (fd_ >= 0) {
        (void)::tcflush(fd_, TCIFLUSH);
    }
}

std::size_t SerialPort::WriteChunk(const unsigned char* data, std::size_t k) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(kWriteWaitMs);
    std::size_t done = 0;
    while (done < k) {
        const ssize_t w = ::write(fd_, data + done, k - done);
        if (w > 0) {
            done += static_cast<std::size_t>(w);
            continue;
        }
        if (w < 0 && errno == EINTR) {
            continue;
        }
        if (w < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            if (errno == EIO) {
                LoseLine(errno);
            }
            break;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            break;  // the chunk is given up; the ACK wait notices the lost frame
        }
        pollfd p{fd_, POLLOUT, 0};
        const int r = ::poll(&p, 1, PollTimeout(left));
        wakeUps_.fetch_add(1, std::memory_order_relaxed);
        if (r > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0 &&
            (p.revents & POLLOUT) == 0) {
            break;
        }
    }
    return done;
}

int SerialPort::Write(const unsigned char* data, int n) {
    if (!opened_ || fd_ < 0) {
        return 0;
    }
    if (data == nullptr || n <= 0) {
        return n > 0 ? 0 : n;
    }
    const std::size_t total = static_cast<std::size_t>(n);
    for (std::size_t off = 0; off < total; off += kChunkSize) {
        const std::size_t k = std::min(kChunkSize, total - off);
        const std::size_t written = WriteChunk(data + off, k);
        if (writeObserver_) {
            writeObserver_(k, written);
        }
    }
    return n;
}

void SerialPort::LoseLine(int e) {
    lostErrno_.store(e);
    hungUp_.store(true);
}

void SerialPort::DrainCancel() {
    std::uint64_t count = 0;
    while (cancelFd_ >= 0 && ::read(cancelFd_, &count, sizeof count) < 0 && errno == EINTR) {
    }
}

SerialPort::Wait SerialPort::WaitReadable(milliseconds wait) {
    if (cancelFd_ < 0) {
        wait = std::min(wait, kCancelFallbackWait);
    }
    pollfd fds[2] = {{fd_, POLLIN, 0}, {cancelFd_, POLLIN, 0}};
    const int n = ::poll(fds, cancelFd_ >= 0 ? 2 : 1, PollTimeout(wait));
    wakeUps_.fetch_add(1, std::memory_order_relaxed);
    if (n < 0) {
        if (errno == EINTR) {
            return Wait::TimedOut;  // the caller waits out the rest
        }
        LoseLine(errno);  // a port that cannot be waited on is no use, and must not spin
        return Wait::Lost;
    }
    if ((fds[1].revents & POLLIN) != 0) {
        if (cancel_.load()) {
            return Wait::Cancelled;
        }
        DrainCancel();  // left over from a cancel that has been cleared since
    }
    // A hung-up terminal also reports POLLIN, yet reads nothing: the hang-up comes first.
    if ((fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
        return Wait::Lost;
    }
    return (fds[0].revents & POLLIN) != 0 ? Wait::Readable : Wait::TimedOut;
}

int SerialPort::PollRead(unsigned char* buffer, int max, milliseconds wait) {
    if (!opened_ || fd_ < 0 || buffer == nullptr || max <= 0) {
        return 0;
    }
    const auto deadline = Clock::now() + wait;
    bool lastTry = false;
    for (;;) {
        if (cancel_.load() || hungUp_.load()) {
            return 0;
        }
        const ssize_t r = ::read(fd_, buffer, static_cast<std::size_t>(max));
        if (r > 0) {
            return static_cast<int>(r);
        }
        if (r < 0 && errno == EINTR) {
            continue;
        }
        if (r < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            // EIO: the pseudo-terminal's other side closed, or the adapter went away. No other
            // failure of a read leaves the port usable either.
            LoseLine(errno);
            return 0;
        }
        // Nothing queued. A raw line (VMIN 0) reads 0 then as well, so a hang-up is left to
        // poll to tell, after one last read for bytes that came with it.
        if (lastTry) {
            LoseLine(0);
            return 0;
        }
        const auto left = std::chrono::ceil<milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            return -1;
        }
        switch (WaitReadable(left)) {
            case Wait::Readable:
            case Wait::TimedOut:
                break;
            case Wait::Cancelled:
                return 0;
            case Wait::Lost:
                lastTry = true;
                break;
        }
    }
}

int SerialPort::ReadAvailable(unsigned char* buffer, int max, milliseconds wait) {
    if (!connected_.load()) {
        return 0;
    }
    const int r = PollRead(buffer, max, wait);
    return r > 0 ? r : 0;
}

int SerialPort::ReadByte(unsigned char* byte) {
    return PollRead(byte, 1, byteWait_);
}

int SerialPort::ReadLine(unsigned char* buffer, int capacity, milliseconds byteWait) {
    if (!connected_.load()) {
        return 0;
    }
    byteWait_ = byteWait;
    const int n = AssembleLine(*this, buffer, capacity);
    byteWait_ = kByteWait;
    return n;
}

int SerialPort::ReadReply(unsigned char* buffer, int capacity, milliseconds byteWait) {
    if (!connected_.load()) {
        return 0;
    }
    byteWait_ = byteWait;
    const int n = AssembleReply(*this, buffer, capacity);
    byteWait_ = kByteWait;
    return n;
}

void SerialPort::DrainOutput() {
    if (fd_ < 0) {
        return;
    }
    // tcdrain alone has no bound: a stuck adapter would hold the caller forever. The queue is
    // watched instead, for as long as its bytes need at the port's rate and a second more.
    int queued = 0;
    if (::ioctl(fd_, TIOCOUTQ, &queued) != 0) {
        return;
    }
    const int rate = std::max(baud_.load(), 300);
    const auto deadline = Clock::now() + milliseconds(1000 + 10'000LL * queued / rate);
    while (queued > 0) {
        // The queue empties at the line's rate: sleep about as long as it needs, not in turns.
        const auto left = deadline - Clock::now();
        if (left <= Clock::duration::zero()) {
            break;
        }
        std::this_thread::sleep_for(std::min<Clock::duration>(
            left, milliseconds(1 + 10'000LL * static_cast<std::int64_t>(queued) / rate)));
        if (::ioctl(fd_, TIOCOUTQ, &queued) != 0) {
            return;
        }
    }
    if (queued == 0) {
        // The last bytes may still sit in the UART's own buffer: a few byte times at most.
        (void)::tcdrain(fd_);
    }
}

std::chrono::milliseconds SerialPort::SinceLastAnswer() const {
    const auto now = Clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::milliseconds>(
        now - std::chrono::nanoseconds(lastByteNs_.load()));
}

void SerialPort::MarkAnswered() {
    lastByteNs_.store(
        std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
            .count());
}

bool SerialPort::LineDead() const {
    const std::int64_t limit = deadLimitMs_.load();
    return limit > 0 && SinceLastAnswer().count() >= limit;
}

void SerialPort::SetCancel(int flag) {
    if (flag == 0) {
        // A cancel set between these two lines leaves its flag set: the next wait sees it.
        cancel_.store(false);
        DrainCancel();
        return;
    }
    cancel_.store(true);
    if (cancelFd_ >= 0) {
        const int saved = errno;  // a signal handler must not change it under the program
        const std::uint64_t one = 1;
        // Fails only with the counter full, which is readable then all the same.
        [[maybe_unused]] const ssize_t w = ::write(cancelFd_, &one, sizeof one);
        errno = saved;
    }
}

}  // namespace pelmora
