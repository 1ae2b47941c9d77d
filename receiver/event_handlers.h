#pragma once
// Events of the receiver library: an EventList holds handler objects that forward each event to a
// member operation of a target object (the main window).
//
// Thread contract: handlers are registered once while the owner initialises, before the reader
// thread or any command runs; afterwards a list is only fired. Fire calls every handler on the
// calling thread (the reader thread or a command's thread): a handler that touches a window must
// marshal to the GUI thread itself.
#include <cstddef>
#include <functional>
#include <vector>

namespace pelmora {

class AbstractEventHandlerBase {
  public:
    // owned: the list deletes the handler when the list is destroyed; otherwise it only clears
    // the attached flag and the handler's owner keeps it.
    explicit AbstractEventHandlerBase(bool owned = true) : owned_(owned) {}
    virtual ~AbstractEventHandlerBase() = default;
    AbstractEventHandlerBase(const AbstractEventHandlerBase&) = delete;
    AbstractEventHandlerBase& operator=(const AbstractEventHandlerBase&) = delete;

    bool IsOwned() const { return owned_; }
    bool IsAttached() const { return attached_; }
    void Detach() { attached_ = false; }

  private:
    bool owned_;
    bool attached_ = true;
};

// The interface of one event: a call with the event's arguments.
template <class... Args>
class AbstractEventHandler : public AbstractEventHandlerBase {
  public:
    using Signature = void(Args...);
    using AbstractEventHandlerBase::AbstractEventHandlerBase;
    virtual void Invoke(Args... args) = 0;
    void operator()(Args... args) { Invoke(args...); }
};

template <class Target, class Member, class Interface,
          class Signature = typename Interface::Signature>
class EventHandler;

// Stores the target and its member operation and forwards the event's call to it.
template <class Target, class Member, class Interface, class... Args>
class EventHandler<Target, Member, Interface, void(Args...)> : public Interface {
  public:
    EventHandler(Target* target, Member member, bool owned = true)
        : Interface(owned), target_(target), member_(member) {}

    void Invoke(Args... args) override {
        if (target_ != nullptr && member_ != nullptr) {
            std::invoke(member_, target_, args...);
        }
    }
    Target* GetTarget() const { return target_; }
    Member GetMember() const { return member_; }

  private:
    Target* target_;
    Member member_;
};

// An ordered list of handlers of one interface.
template <class Interface>
class EventList {
  public:
    struct Connection {
        Interface* handler = nullptr;
        EventList* list = nullptr;
        bool IsValid() const { return handler != nullptr && list != nullptr; }
    };

    EventList() = default;
    EventList(const EventList&) = delete;
    EventList& operator=(const EventList&) = delete;
    ~EventList() {
        for (Interface* h : handlers_) {
            if (h->IsOwned()) {
                delete h;
            } else {
                h->Detach();
            }
        }
    }

    // Appends the handler; the list takes it over when the handler is owned.
    Connection Register(Interface* handler) {
        if (handler == nullptr) {
            return {};
        }
        handlers_.push_back(handler);
        return {handler, this};
    }
    // A generic handler of this interface for target and member, owned by the list.
    template <class Target, class Member>
    Connection Connect(Target* target, Member member) {
        return Register(new EventHandler<Target, Member, Interface>(target, member));
    }
    // Takes the handler out of the list (deleting it when owned).
    bool Remove(const Connection& connection) {
        for (auto it = handlers_.begin(); it != handlers_.end(); ++it) {
            if (*it == connection.handler && connection.list == this) {
                Interface* h = *it;
                handlers_.erase(it);
                if (h->IsOwned()) {
                    delete h;
                } else {
                    h->Detach();
                }
                return true;
            }
        }
        return false;
    }

    template <class... Args>
    void Fire(Args&&... args) const {
        for (Interface* h : handlers_) {
            if (h->IsAttached()) {
                h->Invoke(args...);
            }
        }
    }

    std::size_t Size() const { return handlers_.size(); }
    bool Empty() const { return handlers_.empty(); }

  private:
    std::vector<Interface*> handlers_;
};

namespace Vantrel_receiver {

class Abstracttpost_msgHandler : public AbstractEventHandler<unsigned char*> {
  public:
    using AbstractEventHandler::AbstractEventHandler;
};
class Abstracttbinary_msgHandler : public AbstractEventHandler<int> {
  public:
    using AbstractEventHandler::AbstractEventHandler;
};
class Abstractt_ProgressHandler : public AbstractEventHandler<int> {
  public:
    using AbstractEventHandler::AbstractEventHandler;
};

template <class Target, class Member = void (Target::*)(unsigned char*)>
class tpost_msgHandler : public EventHandler<Target, Member, Abstracttpost_msgHandler> {
  public:
    using EventHandler<Target, Member, Abstracttpost_msgHandler>::EventHandler;
};
template <class Target, class Member = void (Target::*)(int)>
class tbinary_msgHandler : public EventHandler<Target, Member, Abstracttbinary_msgHandler> {
  public:
    using EventHandler<Target, Member, Abstracttbinary_msgHandler>::EventHandler;
};
template <class Target, class Member = void (Target::*)(int)>
class t_ProgressHandler : public EventHandler<Target, Member, Abstractt_ProgressHandler> {
  public:
    using EventHandler<Target, Member, Abstractt_ProgressHandler>::EventHandler;
};

}  // namespace Vantrel_receiver

namespace Vantrel_datalog {

class AbstracttQuery_log_statusHandler : public AbstractEventHandler<unsigned char*> {
  public:
    using AbstractEventHandler::AbstractEventHandler;
};
class Abstracttlog_read_progressHandler : public AbstractEventHandler<int, long> {
  public:
    using AbstractEventHandler::AbstractEventHandler;
};

template <class Target, class Member = void (Target::*)(unsigned char*)>
class tQuery_log_statusHandler
    : public EventHandler<Target, Member, AbstracttQuery_log_statusHandler> {
  public:
    using EventHandler<Target, Member, AbstracttQuery_log_statusHandler>::EventHandler;
};
template <class Target, class Member = void (Target::*)(int, long)>
class tlog_read_progressHandler
    : public EventHandler<Target, Member, Abstracttlog_read_progressHandler> {
  public:
    using EventHandler<Target, Member, Abstracttlog_read_progressHandler>::EventHandler;
};

}  // namespace Vantrel_datalog

}  // namespace pelmora
