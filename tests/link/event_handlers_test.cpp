#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/event_handlers.h"

namespace pelmora {
namespace {

struct Window {
    std::vector<std::string> calls;
    void OnPostMsg(unsigned char* line) {
        calls.push_back("post " + std::string(reinterpret_cast<char*>(line)));
    }
    void OnBinaryMsg(int code) { calls.push_back("binary " + std::to_string(code)); }
    void OnProgress(int value) { calls.push_back("progress " + std::to_string(value)); }
    void OnLogStatus(unsigned char* frame) {
        calls.push_back("status " + std::to_string(frame[4]));
    }
};

TEST(EventList, FiresEveryHandlerInOrderOfRegistration) {
    Window first;
    Window second;
    EventList<Vantrel_receiver::Abstracttbinary_msgHandler> list;
    list.Register(new Vantrel_receiver::tbinary_msgHandler<Window>(&first, &Window::OnBinaryMsg));
    list.Connect(&second, &Window::OnBinaryMsg);
    list.Register(new Vantrel_receiver::tbinary_msgHandler<Window>(&first, &Window::OnProgress));
    list.Fire(25);
    EXPECT_EQ(first.calls, (std::vector<std::string>{"binary 25", "progress 25"}));
    EXPECT_EQ(second.calls, (std::vector<std::string>{"binary 25"}));
}

TEST(EventList, CarriesEachEventsArguments) {
    Window w;
    EventList<Vantrel_receiver::Abstracttpost_msgHandler> post;
    EventList<Vantrel_datalog::AbstracttQuery_log_statusHandler> status;
    post.Register(new Vantrel_receiver::tpost_msgHandler<Window>(&w, &Window::OnPostMsg));
    status.Register(
        new Vantrel_datalog::tQuery_log_statusHandler<Window>(&w, &Window::OnLogStatus));
    unsigned char line[] = "$GPGGA,1";
    unsigned char frame[] = {0xA0, 0xA1, 0, 1, 0x94, 0x94, 0x0D, 0x0A};
    post.Fire(line);
    status.Fire(frame);
    EXPECT_EQ(w.calls, (std::vector<std::string>{"post $GPGGA,1", "status 148"}));
}

TEST(EventList, DeletesOwnedAndDetachesBorrowedHandlers) {
    Window w;
    auto* borrowed =
        new Vantrel_receiver::tbinary_msgHandler<Window>(&w, &Window::OnBinaryMsg, false);
    {
        EventList<Vantrel_receiver::Abstracttbinary_msgHandler> list;
        list.Register(borrowed);
        list.Register(new Vantrel_receiver::tbinary_msgHandler<Window>(&w, &Window::OnBinaryMsg));
        EXPECT_TRUE(borrowed->IsAttached());
    }
    EXPECT_FALSE(borrowed->IsAttached());
    delete borrowed;  // the leak checker proves the owned one went with the list
}

TEST(EventList, RemovedHandlersNoLongerFire) {
    Window w;
    EventList<Vantrel_receiver::Abstracttbinary_msgHandler> list;
    auto connection = list.Connect(&w, &Window::OnBinaryMsg);
    list.Connect(&w, &Window::OnProgress);
    ASSERT_TRUE(connection.IsValid());
    EXPECT_TRUE(list.Remove(connection));
    EXPECT_FALSE(list.Remove(connection));
    list.Fire(2);
    EXPECT_EQ(w.calls, (std::vector<std::string>{"progress 2"}));
}

// A handler that takes itself (or another) out of the list while the list fires.
struct SelfRemover {
    EventList<Vantrel_receiver::Abstracttbinary_msgHandler>* list = nullptr;
    EventList<Vantrel_receiver::Abstracttbinary_msgHandler>::Connection self;
    EventList<Vantrel_receiver::Abstracttbinary_msgHandler>::Connection next;
    int calls = 0;
    void OnBinaryMsg(int) {
        ++calls;
        list->Remove(self);
        list->Remove(next);
    }
};

TEST(EventList, AHandlerMayRemoveItselfAndOthersWhileFiring) {
    EventList<Vantrel_receiver::Abstracttbinary_msgHandler> list;
    SelfRemover remover;
    Window after;
    remover.list = &list;
    remover.self = list.Connect(&remover, &SelfRemover::OnBinaryMsg);
    remover.next = list.Connect(&after, &Window::OnBinaryMsg);
    list.Connect(&after, &Window::OnProgress);
    list.Fire(7);
    // The removed one after it is skipped; the owned handlers go once the firing ends.
    EXPECT_EQ(remover.calls, 1);
    EXPECT_EQ(after.calls, (std::vector<std::string>{"progress 7"}));
    EXPECT_EQ(list.Size(), 1u);
    list.Fire(8);
    EXPECT_EQ(remover.calls, 1);
}

// The owner of a borrowed handler may free it once it is out of the list, even while the list
// fires: the firing must not touch it again (a use-after-free under AddressSanitizer).
TEST(EventList, ABorrowedHandlerFreedByAnEarlierOneIsNotTouched) {
    using List = EventList<Vantrel_receiver::Abstracttbinary_msgHandler>;
    struct Freer {
        List* list = nullptr;
        List::Connection victim;
        Vantrel_receiver::tbinary_msgHandler<Window>* borrowed = nullptr;
        void OnBinaryMsg(int) {
            list->Remove(victim);
            delete borrowed;
            borrowed = nullptr;
        }
    };
    List list;
    Window w;
    Freer freer;
    freer.list = &list;
    freer.borrowed = new Vantrel_receiver::tbinary_msgHandler<Window>(&w, &Window::OnBinaryMsg,
                                                                      /*owned=*/false);
    list.Connect(&freer, &Freer::OnBinaryMsg);
    freer.victim = list.Register(freer.borrowed);
    list.Fire(3);
    EXPECT_TRUE(w.calls.empty());
    EXPECT_EQ(list.Size(), 1u);
}

}  // namespace
}  // namespace pelmora
