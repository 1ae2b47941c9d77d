#include "link/receiver_protocol.h"

#include <chrono>
#include <cstring>

#include "link/nmea_sentence.h"

namespace pelmora {

namespace {

using Clock = std::chrono::steady_clock;

int KindOfId(unsigned char id) {
    switch (id) {
        case 0xA8:
            return 1;
        case 0xA9:
            return 2;
        case 0xAA:
            return 3;
        case 0xAC:
            return 4;
        case 0x95:
            return 5;
        case 0x94:
            return kKindLogStatus;
        case 0xB1:
            return 7;
        case 0x85:
            return kKindSoftwareFeature;
        case 0xD0:
            return kKindDeviceId;
        default:
            return id;
    }
}

}  // namespace

ReceiverProtocol::ReceiverProtocol() = default;

ReceiverProtocol::~ReceiverProtocol() {
    // The reader ends within one read once cancelled; a thread left running by a timed-out
    // StopReader must still be joined before the object goes.
    StopReader();
    if (reader_.joinable()) {
        stop_.store(true);
        if (port_ != nullptr) {
            port_->SetCancel(1);
        }
        reader_.join();
    }
}

int ReceiverProtocol::BuildFrame(unsigned char* dest, const unsigned char* payload, int n) {
    if (dest == nullptr || n < 0 || n > kMaxPayload || (n > 0 && payload == nullptr)) {
        return 0;
    }
    dest[0] = kFrameStart0;
    dest[1] = kFrameStart1;
    dest[2] = 0x00;
    dest[3] = static_cast<unsigned char>(n);
    unsigned char sum = 0;
    for (int i = 0; i < n; ++i) {
        dest[4 + i] = payload[i];
        sum = static_cast<unsigned char>(sum ^ payload[i]);
    }
    dest[4 + n] = sum;
    dest[5 + n] = 0x0D;
    dest[6 + n] = 0x0A;
    return n + kFrameOverhead;
}

int ReceiverProtocol::FrameKind(const unsigned char* frame, int size) {
    if (frame == nullptr || size < 5) {
        return 0;
    }
    const int n = frame[3];
    // A frame cut short (a hang-up, a full buffer) has no checksum byte to compare.
    if (4 + n >= size) {
        return 0;
    }
    unsigned char sum = 0;
    for (int i = 0; i < n; ++i) {
        sum = static_cast<unsigned char>(sum ^ frame[4 + i]);
    }
    if (sum != frame[4 + n]) {
        return 0;
    }
    return KindOfId(frame[4]);
}

int ReceiverProtocol::WaitReply(int kind, unsigned char* buffer, int waitMs) {
    if (port_ == nullptr || !port_->IsConnected() || buffer == nullptr) {
        return 0;
    }
    using std::chrono::milliseconds;
    const auto deadline = Clock::now() + milliseconds(waitMs);
    for (;;) {
        const auto left = std::chrono::ceil<milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            return 0;
        }
        const int r = port_->ReadReply(buffer, kReplyCapacity, left);
        if (r > 0 && (FrameKind(buffer, r) & 0xFF) == (kind & 0xFF)) {
            port_->MarkAnswered();
            return r;
        }
        if (!port_->IsConnected() || port_->CancelRequested() || port_->HungUp()) {
            return 0;
        }
    }
}

bool ReceiverProtocol::StartReader() {
    if (reader_.joinable()) {
        if (readerRunning_.load()) {
            return false;
        }
        // A reader that outlived a timed-out stop has ended since: finish its stop.
        reader_.join();
    }
    // A cancel meant for a command that has ended since must not keep the reader from reading.
    if (port_ != nullptr) {
        port_->SetCancel(0);
    }
    stop_.store(false);
    {
        std::lock_guard<std::mutex> lock(finishMutex_);
        readerFinished_ = false;
    }
    readerRunning_.store(true);
    reader_ = std::thread([this] { ReaderLoop(); });
    return true;
}

bool ReceiverProtocol::StopReader() {
    if (!reader_.joinable()) {
        return true;
    }
    stop_.store(true);
    if (port_ != nullptr) {
        port_->SetCancel(1);
    }
    std::unique_lock<std::mutex> lock(finishMutex_);
    finishCv_.notify_all();
    // The grace of the original stop, then a bounded wait for the loop to see its flags.
    const auto bound = std::chrono::milliseconds(kStopGraceMs + kStopJoinMs);
    const bool ended = finishCv_.wait_for(lock, bound, [this] { return readerFinished_; });
    lock.unlock();
    if (!ended) {
        return false;
    }
    reader_.join();
    stop_.store(false);
    if (port_ != nullptr) {
        port_->SetCancel(0);
    }
    return true;
}

void ReceiverProtocol::ReaderLoop() {
    if (port_ != nullptr) {
        port_->FlushInput();
    }
    link.ResetProbeCount();
    const auto turn = std::chrono::milliseconds(kReaderWaitMs);
    for (;;) {
        std::memset(line_, 0, sizeof line_);
        const auto start = Clock::now();
        // The read itself is the pause between lines: it sleeps until bytes come, a quarter of
        // a second at most, and the stop's cancel wakes it at once.
        const int count = port_ != nullptr ? port_->ReadLine(line_, kLineCapacity, turn) : 0;
        link.AfterRead(count);
        if (stop_.load()) {
            break;
        }
        if (count != 0) {
            link.AfterSentence(RecognizeSentence(line_, sizeof line_));
            if (LinkListener* listener = listener_.load()) {
                const auto* text = reinterpret_cast<const char*>(line_);
                listener->OnNmeaLine({text, ::strnlen(text, kLineCapacity)});
            }
        } else if (port_ != nullptr && port_->HungUp()) {
            if (LinkListener* listener = listener_.load()) {
                listener->OnLineLost();
            }
            break;
        } else if (Clock::now() - start < turn) {
            // Nothing waited (no port, or a closed one): the turn still takes its time.
            std::unique_lock<std::mutex> lock(finishMutex_);
            if (finishCv_.wait_until(lock, start + turn, [this] { return stop_.load(); })) {
                break;
            }
        }
    }
    readerRunning_.store(false);
    std::lock_guard<std::mutex> lock(finishMutex_);
    readerFinished_ = true;
    finishCv_.notify_all();
}

}  // namespace pelmora
