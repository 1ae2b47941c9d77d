#include "tests/link/pty_peer.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>
#include <stdexcept>

namespace pelmora::test {

PtyPeer::PtyPeer() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
        throw std::runtime_error("cannot open a pseudo-terminal");
    }
    const char* name = ::ptsname(master_);
    if (name == nullptr) {
        throw std::runtime_error("pseudo-terminal without a name");
    }
    slavePath_ = name;
}

PtyPeer::~PtyPeer() {
    Stop();
    HangUp();
}

void PtyPeer::Start() {
    stop_.store(false);
    thread_ = std::thread([this] { Run(); });
}

void PtyPeer::Stop() {
    stop_.store(true);
    if (thread_.joinable()) {
        thread_.join();
    }
}

void PtyPeer::HangUp() {
    Stop();
    std::lock_guard<std::mutex> lock(writeMutex_);
    if (master_ >= 0) {
        ::close(master_);
        master_ = -1;
    }
}

void PtyPeer::WriteAll(const Bytes& bytes) {
    std::lock_guard<std::mutex> lock(writeMutex_);
    std::size_t done = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (master_ >= 0 && done < bytes.size() && std::chrono::steady_clock::now() < deadline) {
        const ssize_t w = ::write(master_, bytes.data() + done, bytes.size() - done);
        if (w > 0) {
            done += static_cast<std::size_t>(w);
        } else {
            pollfd p{master_, POLLOUT, 0};
            ::poll(&p, 1, 5);
        }
    }
}

void PtyPeer::Send(const Bytes& bytes) {
    WriteAll(bytes);
}

PtyPeer::Bytes PtyPeer::Received() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
}

bool PtyPeer::WaitForBytes(std::size_t count, std::chrono::milliseconds bound) const {
    return WaitUntil(
        [&] {
            std::lock_guard<std::mutex> lock(mutex_);
            return received_.size() >= count;
        },
        bound);
}

void PtyPeer::Run() {
    Bytes pending;
    auto nextStream = std::chrono::steady_clock::now();
    unsigned char chunk[4096];
    while (!stop_.load()) {
        int fd;
        {
            std::lock_guard<std::mutex> lock(writeMutex_);
            fd = master_;
        }
        if (fd < 0) {
            break;
        }
        pollfd p{fd, POLLIN, 0};
        const int r = ::poll(&p, 1, 2);
        if (r > 0 && (p.revents & POLLIN) != 0) {
            const ssize_t n = ::read(fd, chunk, sizeof chunk);
            if (n > 0) {
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    received_.insert(received_.end(), chunk, chunk + n);
                }
                pending.insert(pending.end(), chunk, chunk + n);
            }
        } else if (r > 0) {
            // No client on the slave yet (or any more): nothing to read.
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        // Whole frames out of what the client wrote.
        for (;;) {
            std::size_t start = 0;
            while (start + 1 < pending.size() &&
                   !(pending[start] == 0xA0 && pending[start + 1] == 0xA1)) {
                ++start;
            }
            pending.erase(pending.begin(), pending.begin() + static_cast<long>(start));
            if (pending.size() < 4 || pending.size() < pending[3] + 7u) {
                break;
            }
            const std::size_t size = pending[3] + 7u;
            Bytes frame(pending.begin(), pending.begin() + static_cast<long>(size));
            pending.erase(pending.begin(), pending.begin() + static_cast<long>(size));
            frames_.fetch_add(1);
            if (responder_) {
                const Bytes answer = responder_(frame);
                if (!answer.empty()) {
                    WriteAll(answer);
                }
            }
        }
        if (!stream_.empty() && std::chrono::steady_clock::now() >= nextStream) {
            WriteAll(stream_);
            nextStream = std::chrono::steady_clock::now() + period_;
        }
    }
}

bool WaitUntil(const std::function<bool()>& pred, std::chrono::milliseconds bound) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (!pred()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

PtyPeer::Bytes FrameOf(const PtyPeer::Bytes& payload) {
    PtyPeer::Bytes out = {0xA0, 0xA1, 0x00, static_cast<unsigned char>(payload.size())};
    unsigned char sum = 0;
    for (unsigned char b : payload) {
        out.push_back(b);
        sum = static_cast<unsigned char>(sum ^ b);
    }
    out.push_back(sum);
    out.push_back(0x0D);
    out.push_back(0x0A);
    return out;
}

}  // namespace pelmora::test
