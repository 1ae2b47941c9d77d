#pragma once
// A minimal serial client for the simulated logger's tests: opens the slave raw at a rate, writes
// frames, reads with bounded waits. Independent of the real transport on purpose.

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/pty_line.h"
#include "sim/sim_frame.h"

namespace pelmora::sim::testing {

class TestClient {
  public:
    TestClient(const std::string& path, int rate) {
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd_ >= 0) {
            SetRate(rate);
        }
    }
    ~TestClient() { Close(); }
    TestClient(const TestClient&) = delete;
    TestClient& operator=(const TestClient&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    void Close() {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    void SetRate(int rate) {
        termios tio{};
        tcgetattr(fd_, &tio);
        cfmakeraw(&tio);
        cfsetispeed(&tio, RateToSpeed(rate));
        cfsetospeed(&tio, RateToSpeed(rate));
        tcsetattr(fd_, TCSANOW, &tio);
    }
    void Flush() { tcflush(fd_, TCIFLUSH); }

    bool Write(const std::vector<std::uint8_t>& bytes) {
        std::size_t done = 0;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (done < bytes.size() && std::chrono::steady_clock::now() < deadline) {
            const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
            } else {
                pollfd p{fd_, POLLOUT, 0};
                ::poll(&p, 1, 10);
            }
        }
        return done == bytes.size();
    }
    bool SendPayload(const std::vector<std::uint8_t>& payload) {
        return Write(BuildFrame(payload));
    }

    // Reads whatever arrives until `done(buffer)` holds or the wait ends; returns what was read.
    template <class Done>
    std::vector<std::uint8_t> ReadUntil(Done done, std::chrono::milliseconds limit) {
        std::vector<std::uint8_t> got;
        const auto deadline = std::chrono::steady_clock::now() + limit;
        std::uint8_t buffer[4096];
        while (!done(got)) {
            const auto now = std::chrono::steady_clock::now();
            if (now >= deadline) {
                break;
            }
            pollfd p{fd_, POLLIN, 0};
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count();
            if (::poll(&p, 1, static_cast<int>(left) + 1) <= 0) {
                continue;
            }
            if ((p.revents & (POLLHUP | POLLERR)) != 0 && (p.revents & POLLIN) == 0) {
                hungUp_ = true;
                break;
            }
            const ssize_t n = ::read(fd_, buffer, sizeof buffer);
            if (n > 0) {
                got.insert(got.end(), buffer, buffer + n);
            } else if (n == 0 || errno == EIO) {
                hungUp_ = true;
                break;
            }
        }
        return got;
    }
    std::vector<std::uint8_t> ReadFor(std::chrono::milliseconds limit) {
        return ReadUntil([](const std::vector<std::uint8_t>&) { return false; }, limit);
    }
    std::vector<std::uint8_t> ReadAtLeast(std::size_t count, std::chrono::milliseconds limit) {
        return ReadUntil([count](const auto& got) { return got.size() >= count; }, limit);
    }
    bool HungUp() const { return hungUp_; }

  private:
    int fd_ = -1;
    bool hungUp_ = false;
};

// The first complete frame in bytes (A0 A1 00 n ... 0D 0A), or empty.
inline std::vector<std::uint8_t> FirstFrame(const std::vector<std::uint8_t>& bytes,
                                            std::size_t from = 0) {
    for (std::size_t i = from; i + 7 <= bytes.size(); ++i) {
        if (bytes[i] == 0xA0 && bytes[i + 1] == 0xA1 && bytes[i + 2] == 0) {
            const std::size_t total = std::size_t{bytes[i + 3]} + 7;
            if (i + total <= bytes.size() && bytes[i + total - 2] == 0x0D &&
                bytes[i + total - 1] == 0x0A) {
                return {bytes.begin() + static_cast<std::ptrdiff_t>(i),
                        bytes.begin() + static_cast<std::ptrdiff_t>(i + total)};
            }
        }
    }
    return {};
}

}  // namespace pelmora::sim::testing
