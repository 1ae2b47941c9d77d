#pragma once
// Events of the receiver library: an EventList holds handler objects that forward each event to a
// member operation of a target object (the main window).
//
// Thread contract: a list may be changed and fired from any thread (see EventList). Fire calls
// every handler on the calling thread (the reader thread or a command's thread): a handler that
// touches a window must marshal to the GUI thread itself.
#include <algorithm>
#include <atomic>
#include <cstddef>
#include <functional>
#include <mutex>
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
    // The owner of a borrowed handler may ask from another thread than the list's.
    bool IsAttached() const { return attached_.load(); }
    void Detach() { attached_.store(false); }

  private:
    bool owned_;
    std::atomic<bool> attached_{true};
};

// The interface of one event: a call with the event's arguments.
template <class... Args>
class AbstractEventHandler : public AbstractEventHandlerBase {
  public:
    using Signature = void(Args...);
    using AbstractEventHandlerBase::AbstractEventHandlerBase;
    virtual void Invoke(Args... args) = 0;
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

  private:
    Target* target_;
    Member member_;
};

// An ordered list of handlers of one interface.
//
// Registration, removal and firing may come from different threads (the window binds its
// handlers while the reader thread may already fire post_msg). Fire holds the list's lock while it
// calls the handlers, so a Remove on another thread returns only once no call of that handler is
// in progress; a handler may itself register or remove on the same list (the lock is
// re-entrant), a removal then taking effect after the call in hand. A handler must not wait for
// another thread that changes the same list.
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
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        for (Interface* h : handlers_) {
            Release(h);
        }
    }

    // Appends the handler; the list takes it over when the handler is owned.
    Connection Register(Interface* handler) {
        if (handler == nullptr) {
            return {};
        }
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        handlers_.push_back(handler);
        return {handler, this};
    }
    // A generic handler of this interface for target and member, owned by the list.
    template <class Target, class Member>
    Connection Connect(Target* target, Member member) {
        return Register(new EventHandler<Target, Member, Interface>(target, member));
    }
    // Takes the handler out of the list (deleting it when owned). Waits for a call of the
    // handler in progress on another thread.
    bool Remove(const Connection& connection) {
        if (connection.list != this || connection.handler == nullptr) {
            return false;
        }
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        const auto it = std::find(handlers_.begin(), handlers_.end(), connection.handler);
        if (it == handlers_.end()) {
            return false;
        }
        Interface* h = *it;
        handlers_.erase(it);
        if (firing_ > 0) {
            // Removed from inside a handler: it may be the one being called.
            h->Detach();
            if (h->IsOwned()) {
                retired_.push_back(h);
            }
        } else {
            Release(h);
        }
        return true;
    }

    template <class... Args>
    void Fire(Args&&... args) const {
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        ++firing_;
        // A handler may change the list: walk a copy, skipping what was removed meanwhile. The
        // list is asked first, so a borrowed handler removed and freed by an earlier one is
        // never touched.
        const std::vector<Interface*> snapshot = handlers_;
        for (Interface* h : snapshot) {
            if (std::find(handlers_.begin(), handlers_.end(), h) != handlers_.end() &&
                h->IsAttached()) {
                h->Invoke(args...);
            }
        }
        if (--firing_ == 0) {
            for (Interface* h : retired_) {
                delete h;
            }
            retired_.clear();
        }
    }

    std::size_t Size() const {
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        return handlers_.size();
    }

  private:
    static void Release(Interface* h) {
        if (h->IsOwned()) {
            delete h;
        } else {
            h->Detach();
        }
    }

    mutable std::recursive_mutex mutex_;
    std::vector<Interface*> handlers_;         // guarded by mutex_
    mutable int firing_ = 0;                   // guarded by mutex_: nesting of Fire
    mutable std::vector<Interface*> retired_;  // guarded by mutex_: owned, removed while firing
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

}  // namespace Vantrel_receiver

namespace Vantrel_datalog {

class AbstracttQuery_log_statusHandler : public AbstractEventHandler<unsigned char*> {
  public:
    using AbstractEventHandler::AbstractEventHandler;
};

template <class Target, class Member = void (Target::*)(unsigned char*)>
class tQuery_log_statusHandler
    : public EventHandler<Target, Member, AbstracttQuery_log_statusHandler> {
  public:
    using EventHandler<Target, Member, AbstracttQuery_log_statusHandler>::EventHandler;
};

}  // namespace Vantrel_datalog

}  // namespace pelmora
