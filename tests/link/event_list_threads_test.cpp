// Event lists changed on one thread while another fires them: the window binds its handlers while
// the reader thread may already deliver post_msg, and a handler may be removed at any time.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "link/receiver_protocol.h"
#include "tests/link/pty_peer.h"

namespace pelmora {
namespace {

using test::PtyPeer;
using test::WaitUntil;
using namespace std::chrono_literals;

using CodeList = EventList<Vantrel_receiver::Abstracttbinary_msgHandler>;

// A handler's target; `removed` is set once Remove has returned for its handler.
struct Counter {
    std::atomic<int> calls{0};
    std::atomic<int> callsAfterRemove{0};
    std::atomic<bool> removed{false};
    void OnCode(int) {
        calls.fetch_add(1);
        if (removed.load()) {
            callsAfterRemove.fetch_add(1);
        }
    }
};

TEST(EventListThreads, RegistersAndRemovesWhileAnotherThreadFires) {
    CodeList list;
    Counter resident;
    list.Connect(&resident, &Counter::OnCode);
    std::atomic<bool> done{false};
    std::thread firer([&] {
        while (!done.load()) {
            list.Fire(9);
        }
    });
    std::vector<std::unique_ptr<Counter>> targets;
    for (int i = 0; i < 100; ++i) {
        targets.push_back(std::make_unique<Counter>());
        Counter& target = *targets.back();
        const CodeList::Connection c = list.Connect(&target, &Counter::OnCode);
        ASSERT_TRUE(WaitUntil([&] { return target.calls.load() > 0; }, 5s)) << "handler " << i;
        ASSERT_TRUE(list.Remove(c));
        target.removed.store(true);
    }
    done.store(true);
    firer.join();
    EXPECT_EQ(list.Size(), 1u);
    EXPECT_GT(resident.calls.load(), 0);
    // Remove returns only once no call of the handler is in progress.
    for (const auto& t : targets) {
        EXPECT_EQ(t->callsAfterRemove.load(), 0);
    }
}

TEST(EventListThreads, TwoThreadsRegisterAtOnce) {
    CodeList list;
    Counter target;
    constexpr int kEach = 500;
    auto registerMany = [&] {
        for (int i = 0; i < kEach; ++i) {
            list.Connect(&target, &Counter::OnCode);
        }
    };
    std::thread other(registerMany);
    registerMany();
    other.join();
    ASSERT_EQ(list.Size(), std::size_t{2 * kEach});
    list.Fire(1);
    EXPECT_EQ(target.calls.load(), 2 * kEach);
}

// Collects the lines the reader thread delivers.
struct Lines {
    std::atomic<int> count{0};
    void OnPostMsg(unsigned char* line) {
        if (line != nullptr && line[0] == '$') {
            count.fetch_add(1);
        }
    }
};

TEST(EventListThreads, AHandlerBoundWhileTheReaderRunsGetsTheLines) {
    const std::string gga = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n";
    PtyPeer peer;
    peer.SetStream(PtyPeer::Bytes(gga.begin(), gga.end()), 20ms);
    peer.Start();
    SerialPort port;
    ASSERT_TRUE(port.Open(peer.SlavePath(), 9600)) << port.LastError();
    ReceiverProtocol protocol;
    protocol.SetPort(&port);
    Lines first;
    protocol.post_msg.Connect(&first, &Lines::OnPostMsg);
    ASSERT_TRUE(protocol.StartReader());
    ASSERT_TRUE(WaitUntil([&] { return first.count.load() > 0; }, 5s));
    // Bound with the reader running, as the window does after the connection.
    std::vector<std::unique_ptr<Lines>> late;
    for (int i = 0; i < 20; ++i) {
        late.push_back(std::make_unique<Lines>());
        protocol.post_msg.Connect(late.back().get(), &Lines::OnPostMsg);
    }
    EXPECT_TRUE(WaitUntil([&] { return late.back()->count.load() > 0; }, 5s));
    EXPECT_TRUE(protocol.StopReader());
    EXPECT_EQ(protocol.post_msg.Size(), 21u);
    protocol.SetPort(nullptr);
}

}  // namespace
}  // namespace pelmora
