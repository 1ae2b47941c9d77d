#include "sim/logger_sim.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <condition_variable>
#include <ctime>
#include <deque>
#include <mutex>
#include <thread>

#include "decode/raw_record.h"
#include "sim/nmea_source.h"
#include "sim/pty_line.h"
#include "sim/sim_frame.h"

namespace pelmora::sim {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr auto kMaxPoll = 20ms;         // longest the thread sleeps before looking at stop
constexpr auto kDrainLimit = 500ms;     // longest wait for the client to read a split part
constexpr auto kDrainSettle = 10ms;     // a write reaches the slave's queue a moment later
constexpr auto kRestartQuiet = 1000ms;  // a restarted receiver says nothing for a while
constexpr auto kJoinBound = 2000ms;
constexpr std::size_t kFaultKinds = 6;
constexpr std::size_t kQueueLimit = 4u << 20;  // a few full-flash ranged reads

struct Segment {
    enum class Then : std::uint8_t { Nothing, Drain, SetBaud, HangUp, Garble };
    std::vector<std::uint8_t> bytes;
    std::size_t pos = 0;
    Then then = Then::Nothing;
    int baud = 0;
    bool range = false;  // part of a ranged read's answer
};

// splitmix64: the same sequence everywhere, unlike the standard distributions.
std::uint64_t NextRandom(std::uint64_t& state) {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

Clock::duration ByteTime(int baud) {
    const int rate = baud > 0 ? baud : 4800;
    return std::chrono::nanoseconds(10'000'000'000LL / rate);
}

}  // namespace

struct LoggerSim::Impl {
    // Shared with the thread, which keeps it alive should a join ever time out.
    struct Shared {
        mutable std::mutex m;
        mutable std::condition_variable cv;

        int baud;
        bool silent;
        bool commands;
        bool paced;
        bool commandEndsRange;
        LoggerCore core;
        PtyLine line;
        int wake[2] = {-1, -1};

        std::vector<ReceivedFrame> frames;
        std::vector<RateChange> rates;
        std::size_t bytesSent = 0;
        std::size_t rangesServed = 0;
        int clientBaud = 0;

        int nackNext = 0;
        int loseAckNext = 0;
        int ignoreNext = 0;
        int refuseRateNext = 0;
        int refusedRate = 0;
        int corruptNext = 0;
        int splitBoundary = 0;
        std::optional<std::size_t> stallAfter;
        std::optional<std::size_t> hangUpAfter;
        std::optional<std::size_t> silenceAfter;
        std::optional<std::size_t> garbleAfter;
        int garbleRate = 0;
        bool chatter = false;  // NMEA ten times a second while the client's rate is not ours
        std::uint64_t random = 0;
        double faultProbability = 0.0;
        std::array<std::size_t, kFaultKinds> applied{};

        bool mute = false;  // after a stall, until the next frame
        bool running = false;
        bool exited = false;
        bool stop = false;

        std::deque<Segment> out;
        bool draining = false;
        Clock::time_point drainSettled;
        Clock::time_point drainUntil;
        Clock::time_point lineFree;
        Clock::time_point nextNmea;
        Clock::time_point quietUntil;
        NmeaSource nmea;
        FrameScanner scanner;

        explicit Shared(LoggerSimOptions& o)
            : baud(o.baud),
              silent(o.silent),
              commands(o.commands),
              paced(o.paced),
              commandEndsRange(o.commandEndsRange),
              core(std::move(o.flash)) {
            core.SetDeviceId(o.deviceId);
            core.SetEcho(o.echo);
            core.SetRateLimit(o.highestRate, o.refusal);
        }
        ~Shared() {
            for (int& fd : wake) {
                if (fd >= 0) {
                    ::close(fd);
                    fd = -1;
                }
            }
        }

        void ChangeRate(int to, RateChangeCause cause) {
            if (to == baud) {
                return;
            }
            rates.push_back({baud, to, cause});
            baud = to;
            cv.notify_all();
        }

        std::optional<FaultKind> DrawFault(std::uint8_t id) {
            const bool range = id == 0x1D;
            if (faultProbability <= 0.0 || !(range || id == 0x17 || id == 0x74)) {
                return std::nullopt;
            }
            const double u =
                static_cast<double>(NextRandom(random) >> 11) / static_cast<double>(1ULL << 53);
            if (u >= faultProbability) {
                return std::nullopt;
            }
            // A ranged read whose ACK is lost still streams its data while the client resends
            // the request ten times: that is no fault a soak run recovers from quickly.
            static constexpr FaultKind kRangeKinds[] = {
                FaultKind::Nack, FaultKind::Ignore, FaultKind::CorruptData, FaultKind::SplitMarker,
                FaultKind::StallRange};
            // A NACKed status query ends the client's download at once: not a fault to soak.
            static constexpr FaultKind kOtherKinds[] = {FaultKind::LoseAck, FaultKind::Ignore};
            const std::uint64_t r = NextRandom(random);
            return range ? kRangeKinds[r % std::size(kRangeKinds)]
                         : kOtherKinds[r % std::size(kOtherKinds)];
        }

        std::size_t QueuedBytes() const {
            std::size_t total = 0;
            for (const auto& seg : out) {
                total += seg.bytes.size() - seg.pos;
            }
            return total;
        }

        void Queue(std::vector<std::uint8_t> bytes, Segment::Then then = Segment::Then::Nothing,
                   int rate = 0) {
            Segment s;
            s.bytes = std::move(bytes);
            s.then = then;
            s.baud = rate;
            out.push_back(std::move(s));
        }

        void QueueRange(std::vector<std::uint8_t> ack, RangeStream stream,
                        std::optional<FaultKind> fault) {
            ++rangesServed;
            const std::size_t queued = out.size();
            struct MarkRange {
                std::deque<Segment>& out;
                std::size_t from;
                ~MarkRange() {
                    for (std::size_t i = from; i < out.size(); ++i) {
                        out[i].range = true;
                    }
                }
            } mark{out, queued};
            auto& data = stream.data;
            if (corruptNext > 0 || fault == FaultKind::CorruptData) {
                if (corruptNext > 0) {
                    --corruptNext;
                }
                ++applied[static_cast<std::size_t>(FaultKind::CorruptData)];
                data[data.size() / 2] ^= 0x20;  // the trailer keeps the true checksum
            }
            std::optional<std::size_t> cut;
            bool hangUp = false;
            bool garble = false;
            if (garbleAfter) {
                cut = std::min(*garbleAfter, data.size());
                garbleAfter.reset();
                garble = true;
            } else if (hangUpAfter) {
                cut = std::min(*hangUpAfter, data.size());
                hangUpAfter.reset();
                hangUp = true;
            } else if (silenceAfter) {
                cut = std::min(*silenceAfter, data.size());
                silenceAfter.reset();
                silent = true;
            } else if (stallAfter) {
                cut = std::min(*stallAfter, data.size());
                stallAfter.reset();
                ++applied[static_cast<std::size_t>(FaultKind::StallRange)];
            } else if (fault == FaultKind::StallRange) {
                cut = NextRandom(random) % data.size();
                ++applied[static_cast<std::size_t>(FaultKind::StallRange)];
            }
            if (cut && !hangUp && !garble) {
                // A stalled logger stays silent, NMEA included, until it is spoken to again:
                // the client's data wait must see the silence to give the attempt up.
                mute = true;
            }
            std::vector<std::uint8_t> first = std::move(ack);
            if (cut) {
                first.insert(first.end(), data.begin(),
                             data.begin() + static_cast<std::ptrdiff_t>(*cut));
                Queue(std::move(first),
                      hangUp   ? Segment::Then::HangUp
                      : garble ? Segment::Then::Garble
                               : Segment::Then::Nothing,
                      garbleRate);
                return;
            }
            int split = splitBoundary;
            if (split == 0 && fault == FaultKind::SplitMarker) {
                split = static_cast<int>(1 + NextRandom(random) % 3);
            }
            first.insert(first.end(), data.begin(), data.end());
            if (split >= 1 && split <= 3) {
                ++applied[static_cast<std::size_t>(FaultKind::SplitMarker)];
                const auto at = stream.marker.begin() + split;
                first.insert(first.end(), stream.marker.begin(), at);
                Queue(std::move(first), Segment::Then::Drain);
                std::vector<std::uint8_t> rest(at, stream.marker.end());
                rest.insert(rest.end(), stream.trailer.begin(), stream.trailer.end());
                Queue(std::move(rest));
                return;
            }
            first.insert(first.end(), stream.marker.begin(), stream.marker.end());
            first.insert(first.end(), stream.trailer.begin(), stream.trailer.end());
            Queue(std::move(first));
        }

        // A NACK for a baud-rate frame that asks for the refused rate, while refusals are left.
        bool RefusesRate(std::span<const std::uint8_t> payload) {
            if (refuseRateNext <= 0 || payload.size() != 4 ||
                CommandOf(payload[0]) != Command::SetBaudRate ||
                RateForIndex(payload[2]) != refusedRate) {
                return false;
            }
            --refuseRateNext;
            return true;
        }

        void HandleFrame(ScannedFrame frame) {
            mute = false;
            if (commandEndsRange && !out.empty() && out.front().range) {
                std::erase_if(out, [](const Segment& seg) { return seg.range; });
                draining = false;
            }
            ReceivedFrame record;
            record.bytes = frame.bytes;
            record.checksumOk = frame.checksumOk;
            record.simBaud = baud;
            const std::uint8_t id = frame.Id();
            auto count = [&](FaultKind kind) { ++applied[static_cast<std::size_t>(kind)]; };
            const auto fault = silent ? std::nullopt : DrawFault(id);
            if (silent || !commands || QueuedBytes() > kQueueLimit) {
                // A client that floods requests without reading finds a busy logger.
                record.answer = FrameAnswer::Ignored;
            } else if (!frame.checksumOk) {
                record.answer = FrameAnswer::Nack;
                Queue(NackFrame(id));
            } else if (ignoreNext > 0 || fault == FaultKind::Ignore) {
                if (ignoreNext > 0) {
                    --ignoreNext;
                }
                count(FaultKind::Ignore);
                record.answer = FrameAnswer::Ignored;
            } else if (frame.checksumOk && RefusesRate(frame.Payload())) {
                record.answer = FrameAnswer::Nack;
                Queue(NackFrame(id));
            } else if (nackNext > 0 || fault == FaultKind::Nack) {
                if (nackNext > 0) {
                    --nackNext;
                }
                count(FaultKind::Nack);
                record.answer = FrameAnswer::Nack;
                Queue(NackFrame(id));
            } else {
                CoreAnswer answer = core.Handle(frame.Payload());
                if (!answer.acknowledge) {
                    record.answer = FrameAnswer::NoAck;
                    if (answer.command == Command::Restart && answer.ack) {
                        quietUntil = Clock::now() + kRestartQuiet;
                        out.clear();
                        draining = false;
                    }
                } else if (!answer.ack) {
                    record.answer = FrameAnswer::Nack;
                    Queue(NackFrame(id));
                } else {
                    bool lose = false;
                    if (loseAckNext > 0) {
                        --loseAckNext;
                        lose = true;
                    } else if (fault == FaultKind::LoseAck) {
                        lose = true;
                    }
                    if (lose) {
                        count(FaultKind::LoseAck);
                    }
                    record.answer = lose ? FrameAnswer::LostAck : FrameAnswer::Ack;
                    std::vector<std::uint8_t> ack;
                    if (!lose) {
                        ack = AckFrame(id);
                    }
                    if (answer.range) {
                        QueueRange(std::move(ack), std::move(*answer.range), fault);
                    } else {
                        ack.insert(ack.end(), answer.reply.begin(), answer.reply.end());
                        if (answer.newBaud != 0) {
                            Queue(std::move(ack), Segment::Then::SetBaud, answer.newBaud);
                        } else if (!ack.empty()) {
                            Queue(std::move(ack));
                        }
                    }
                }
            }
            frames.push_back(std::move(record));
            cv.notify_all();
        }

        void ReadInput() {
            std::array<std::uint8_t, 4096> buffer;
            for (;;) {
                const ssize_t n = ::read(line.Master(), buffer.data(), buffer.size());
                if (n <= 0) {
                    // EAGAIN: nothing more; EIO: no client on the slave (normal); EINTR: next turn.
                    return;
                }
                clientBaud = line.LineRate();
                if (clientBaud != baud) {
                    // Bytes at another rate are noise to the receiver: no frame can come of them.
                    scanner.Reset();
                    continue;
                }
                std::vector<ScannedFrame> found;
                scanner.Feed(
                    std::span<const std::uint8_t>(buffer.data(), static_cast<std::size_t>(n)),
                    found);
                for (auto& f : found) {
                    HandleFrame(std::move(f));
                }
            }
        }

        // Writes what pacing allows; false when the line hung up on purpose.
        bool WriteOutput(Clock::time_point now) {
            while (!out.empty()) {
                if (draining) {
                    // Bytes written to the master reach the slave's queue a moment later, so
                    // an empty queue counts only after a short settling time.
                    if (now < drainSettled || (line.Unread() > 0 && now < drainUntil)) {
                        return true;
                    }
                    draining = false;
                }
                Segment& seg = out.front();
                std::size_t allowed = seg.bytes.size() - seg.pos;
                const auto byteTime = ByteTime(baud);
                if (paced) {
                    if (lineFree + 20ms < now) {
                        lineFree = now;  // an idle line saves no credit
                    }
                    if (lineFree > now) {
                        return true;
                    }
                    const auto budget = (now - lineFree) / byteTime + 1;
                    const auto chunk = std::max<std::int64_t>(budget, 4ms / byteTime);
                    allowed = std::min<std::size_t>(allowed, static_cast<std::size_t>(chunk));
                }
                if (allowed > 0) {
                    const std::uint8_t* bytes = seg.bytes.data() + seg.pos;
                    std::vector<std::uint8_t> garbled;
                    clientBaud = line.LineRate();
                    if (clientBaud != baud) {
                        // The client listens at another rate: whatever leaves now, it sees noise.
                        garbled = nmea.Garble(bytes, allowed);
                        bytes = garbled.data();
                    }
                    const ssize_t n = ::write(line.Master(), bytes, allowed);
                    if (n <= 0) {
                        return true;  // full (the client is not reading) or no client: later
                    }
                    seg.pos += static_cast<std::size_t>(n);
                    bytesSent += static_cast<std::size_t>(n);
                    if (paced) {
                        lineFree += n * byteTime;
                    }
                    if (seg.pos < seg.bytes.size()) {
                        continue;
                    }
                }
                const Segment::Then then = seg.then;
                const int rate = seg.baud;
                out.pop_front();
                switch (then) {
                    case Segment::Then::Nothing:
                        break;
                    case Segment::Then::Drain:
                        draining = true;
                        drainSettled = Clock::now() + kDrainSettle;
                        drainUntil = Clock::now() + kDrainLimit;
                        break;
                    case Segment::Then::SetBaud:
                        ChangeRate(rate, RateChangeCause::Command);
                        break;
                    case Segment::Then::Garble:
                        line.SetLineRate(rate);
                        chatter = true;
                        nextNmea = Clock::now();
                        break;
                    case Segment::Then::HangUp:
                        out.clear();
                        line.Close();
                        return false;
                }
                cv.notify_all();
            }
            return true;
        }

        void QueueNmea(std::int64_t utc) {
            const std::string burst = nmea.Burst(utc);
            Queue(std::vector<std::uint8_t>(burst.begin(), burst.end()));
        }
    };

    static void Run(std::shared_ptr<Shared> s) {
        std::unique_lock lock(s->m);
        s->nextNmea = Clock::now() + 100ms;
        s->lineFree = Clock::now();
        while (!s->stop && s->line.IsOpen()) {
            auto now = Clock::now();
            s->clientBaud = s->line.LineRate();
            if (s->chatter && s->clientBaud == s->baud) {
                s->chatter = false;  // the client has set its rate right again
            }
            if (now >= s->nextNmea) {
                const Clock::duration interval = s->chatter ? Clock::duration(100ms) : 1s;
                s->nextNmea += interval;
                if (s->nextNmea <= now) {
                    s->nextNmea = now + interval;
                }
                if (!s->silent && !s->mute && s->out.empty() && now >= s->quietUntil) {
                    s->QueueNmea(static_cast<std::int64_t>(std::time(nullptr)));
                }
            }
            s->ReadInput();
            if (!s->WriteOutput(Clock::now())) {
                break;
            }
            now = Clock::now();
            auto until = std::min(s->nextNmea, now + kMaxPoll);
            short events = POLLIN;
            if (!s->out.empty()) {
                if (s->draining) {
                    until = std::min(until, now + 2ms);
                } else if (s->paced && s->lineFree > now) {
                    until = std::min(until, s->lineFree);
                } else {
                    events |= POLLOUT;
                }
            }
            const auto wait = std::chrono::ceil<std::chrono::milliseconds>(until - now).count();
            pollfd fds[2] = {{s->line.Master(), events, 0}, {s->wake[0], POLLIN, 0}};
            lock.unlock();
            ::poll(fds, 2, static_cast<int>(std::clamp<std::int64_t>(wait, 0, 20)));
            lock.lock();
            if ((fds[1].revents & POLLIN) != 0) {
                char drop[16];
                while (::read(s->wake[0], drop, sizeof drop) > 0) {
                }
            }
        }
        s->line.Close();
        s->running = false;
        s->exited = true;
        s->cv.notify_all();
    }

    std::shared_ptr<Shared> shared;
    std::thread thread;
    bool started = false;
};

LoggerSim::LoggerSim(LoggerSimOptions options) : impl_(std::make_unique<Impl>()) {
    impl_->shared = std::make_shared<Impl::Shared>(options);
}

LoggerSim::~LoggerSim() {
    Stop();
}

bool LoggerSim::Start(std::string* error) {
    auto& s = *impl_->shared;
    std::unique_lock lock(s.m);
    if (impl_->started) {
        if (error != nullptr) {
            *error = "the simulated logger runs once";
        }
        return false;
    }
    if (!s.line.Open(s.baud, error)) {
        return false;
    }
    if (::pipe2(s.wake, O_NONBLOCK | O_CLOEXEC) != 0) {
        if (error != nullptr) {
            *error = "pipe2 failed";
        }
        s.line.Close();
        return false;
    }
    s.clientBaud = s.line.LineRate();
    impl_->started = true;
    s.running = true;
    impl_->thread = std::thread(&Impl::Run, impl_->shared);
    return true;
}

void LoggerSim::Stop() {
    if (!impl_ || !impl_->thread.joinable()) {
        return;
    }
    auto& s = *impl_->shared;
    std::unique_lock lock(s.m);
    s.stop = true;
    if (s.wake[1] >= 0) {
        const char c = 'x';
        [[maybe_unused]] const auto n = ::write(s.wake[1], &c, 1);
    }
    const bool ended = s.cv.wait_for(lock, kJoinBound, [&] { return s.exited; });
    lock.unlock();
    if (ended) {
        impl_->thread.join();
    } else {
        impl_->thread.detach();  // it owns its share of the state and ends on its own
    }
}

bool LoggerSim::Running() const {
    std::lock_guard lock(impl_->shared->m);
    return impl_->shared->running;
}

std::string LoggerSim::SlavePath() const {
    std::lock_guard lock(impl_->shared->m);
    return impl_->shared->line.SlavePath();
}

int LoggerSim::Baud() const {
    std::lock_guard lock(impl_->shared->m);
    return impl_->shared->baud;
}

void LoggerSim::SetBaud(int baud) {
    std::lock_guard lock(impl_->shared->m);
    if (baud > 0) {
        impl_->shared->ChangeRate(baud, RateChangeCause::Hook);
    }
}

void LoggerSim::SetSilent(bool silent) {
    std::lock_guard lock(impl_->shared->m);
    impl_->shared->silent = silent;
    if (silent) {
        impl_->shared->out.clear();
        impl_->shared->draining = false;
    }
}

void LoggerSim::SetPaced(bool paced) {
    std::lock_guard lock(impl_->shared->m);
    impl_->shared->paced = paced;
}

int LoggerSim::ClientBaud() const {
    std::lock_guard lock(impl_->shared->m);
    return impl_->shared->line.LineRate();
}

std::vector<ReceivedFrame> LoggerSim::Frames() const {
    std::lock_guard lock(impl_->shared->m);
    return impl_->shared->frames;
}

std::vector<RateChange> LoggerSim::RateChanges() const {
    std::lock_guard lock(impl_->shared->m);
    return impl_->shared->rates;
}

std::size_t LoggerSim::BytesSent() const {
    std::lock_guard lock(impl_->shared->m);
    return impl_->shared->bytesSent;
}

std::size_t LoggerSim::RangesServed() const {
    std::lock_guard lock(impl_->shared->m);
    return impl_->shared->rangesServed;
}

void LoggerSim::ClearLogs() {
    std::lock_guard lock(impl_->shared->m);
    impl_->shared->frames.clear();
    impl_->shared->rates.clear();
}

FlashImage LoggerSim::Flash() const {
    std::lock_guard lock(impl_->shared->m);
    return impl_->shared->core.Flash();
}

void LoggerSim::SetFlash(FlashImage flash) {
    std::lock_guard lock(impl_->shared->m);
    impl_->shared->core.SetFlash(std::move(flash));
}

std::vector<std::uint8_t> LoggerSim::ExpectedDownload() const {
    std::lock_guard lock(impl_->shared->m);
    return impl_->shared->core.Flash().ExpectedDownload();
}

LogOptions LoggerSim::Options() const {
    std::lock_guard lock(impl_->shared->m);
    return impl_->shared->core.Options();
}

void LoggerSim::SetOptions(const LogOptions& options) {
    std::lock_guard lock(impl_->shared->m);
    impl_->shared->core.SetOptions(options);
}

std::string LoggerSim::DeviceId() const {
    std::lock_guard lock(impl_->shared->m);
    return impl_->shared->core.DeviceId();
}

void LoggerSim::SetDeviceId(const std::string& id) {
    std::lock_guard lock(impl_->shared->m);
    impl_->shared->core.SetDeviceId(id);
}

void LoggerSim::SetRateLimit(int highest, RateRefusal how) {
    std::lock_guard lock(impl_->shared->m);
    impl_->shared->core.SetRateLimit(highest, how);
}

bool LoggerSim::AppendRecords(const std::vector<std::vector<std::uint8_t>>& records) {
    std::lock_guard lock(impl_->shared->m);
    FlashImage flash = impl_->shared->core.Flash();
    bool all = true;
    for (const auto& record : records) {
        all = flash.AppendRecord(record) && all;
    }
    impl_->shared->core.SetFlash(std::move(flash));
    return all;
}

namespace {
std::vector<std::vector<std::uint8_t>> LogRecords(const FlashImage& flash) {
    std::vector<std::vector<std::uint8_t>> records;
    for (std::uint16_t i = 0; i < flash.SectorsInUse(); ++i) {
        auto valid = ValidRecordsOfSector(flash.Sector(i));
        while (!valid.empty()) {
            const std::size_t n = RawRecordLength(valid[0]);
            if (n == 0 || n > valid.size()) {
                break;
            }
            records.emplace_back(valid.begin(), valid.begin() + static_cast<std::ptrdiff_t>(n));
            valid = valid.subspan(n);
        }
    }
    return records;
}
}  // namespace

void LoggerSim::GrowLog(double fraction) {
    std::lock_guard lock(impl_->shared->m);
    FlashImage flash = impl_->shared->core.Flash();
    const auto records = LogRecords(flash);
    const auto target =
        static_cast<std::size_t>(static_cast<double>(flash.WriteOffset()) * (1.0 + fraction));
    for (std::size_t i = 0; !records.empty() && flash.WriteOffset() < target; ++i) {
        if (!flash.AppendRecord(records[i % records.size()])) {
            break;
        }
    }
    impl_->shared->core.SetFlash(std::move(flash));
}

void LoggerSim::RecordAnew() {
    std::lock_guard lock(impl_->shared->m);
    FlashImage flash = impl_->shared->core.Flash();
    const auto records = LogRecords(flash);
    flash.Erase();
    // From the first full record of the later half, so the log decodes and its start differs.
    std::size_t from = records.size() / 2;
    while (from < records.size() && records[from].size() != 18) {
        ++from;
    }
    for (std::size_t i = from; i < records.size(); ++i) {
        flash.AppendRecord(records[i]);
    }
    impl_->shared->core.SetFlash(std::move(flash));
}

void LoggerSim::SetEcho(EchoStyle echo) {
    std::lock_guard lock(impl_->shared->m);
    impl_->shared->core.SetEcho(echo);
}

void LoggerSim::NackNext(int frames) {
    std::lock_guard lock(impl_->shared->m);
    impl_->shared->nackNext = frames <= 0 ? 0 : impl_->shared->nackNext + frames;
}

void LoggerSim::LoseAckNext(int frames) {
    std::lock_guard lock(impl_->shared->m);
    impl_->shared->loseAckNext = frames <= 0 ? 0 : impl_->shared->loseAckNext + frames;
}

void LoggerSim::IgnoreNext(int frames) {
    std::lock_guard lock(impl_->shared->m);
    impl_->shared->ignoreNext = frames <= 0 ? 0 : impl_->shared->ignoreNext + frames;
}

void LoggerSim::RefuseRateChanges(int frames, int rate) {
    std::lock_guard lock(impl_->shared->m);
    impl_->shared->refuseRateNext = frames <= 0 ? 0 : frames;
    impl_->shared->refusedRate = rate;
}

void LoggerSim::CorruptNextRanges(int ranges) {
    std::lock_guard lock(impl_->shared->m);
    impl_->shared->corruptNext = ranges <= 0 ? 0 : impl_->shared->corruptNext + ranges;
}

void LoggerSim::SplitEndMarker(int boundary) {
    std::lock_guard lock(impl_->shared->m);
    impl_->shared->splitBoundary = boundary >= 1 && boundary <= 3 ? boundary : 0;
}

void LoggerSim::StallNextRange(std::size_t afterDataBytes) {
    std::lock_guard lock(impl_->shared->m);
    impl_->shared->stallAfter = afterDataBytes;
}

void LoggerSim::SilenceMidRange(std::size_t afterDataBytes) {
    std::lock_guard lock(impl_->shared->m);
    impl_->shared->silenceAfter = afterDataBytes;
}

void LoggerSim::HangUpMidRange(std::size_t afterDataBytes) {
    std::lock_guard lock(impl_->shared->m);
    impl_->shared->hangUpAfter = afterDataBytes;
}

void LoggerSim::GarbleMidRange(std::size_t afterDataBytes, int clientRate) {
    std::lock_guard lock(impl_->shared->m);
    impl_->shared->garbleAfter = afterDataBytes;
    impl_->shared->garbleRate = clientRate;
}

void LoggerSim::SetRandomFaults(std::uint64_t seed, double probability) {
    std::lock_guard lock(impl_->shared->m);
    impl_->shared->random = seed;
    impl_->shared->faultProbability = std::clamp(probability, 0.0, 1.0);
}

std::vector<std::size_t> LoggerSim::FaultsApplied() const {
    std::lock_guard lock(impl_->shared->m);
    const auto& a = impl_->shared->applied;
    return {a.begin(), a.end()};
}

bool LoggerSim::WaitForFrames(std::size_t count, std::chrono::milliseconds timeout) const {
    auto& s = *impl_->shared;
    std::unique_lock lock(s.m);
    return s.cv.wait_for(lock, timeout, [&] { return s.frames.size() >= count; });
}

bool LoggerSim::WaitForRateChanges(std::size_t count, std::chrono::milliseconds timeout) const {
    auto& s = *impl_->shared;
    std::unique_lock lock(s.m);
    return s.cv.wait_for(lock, timeout, [&] { return s.rates.size() >= count; });
}

bool LoggerSim::WaitUntilDrained(std::chrono::milliseconds timeout) const {
    auto& s = *impl_->shared;
    std::unique_lock lock(s.m);
    return s.cv.wait_for(lock, timeout, [&] { return s.out.empty() && !s.draining; });
}

}  // namespace pelmora::sim
