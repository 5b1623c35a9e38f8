#include "serial/SafeSync.h"

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "common/MainLoop.h"

namespace lum {

namespace {

struct Slot {
    bool used = false;
    bool enabled = false;
    SafeSync::Handler handler = nullptr;
    void* owner = nullptr;
    std::uint32_t id = 0;
};

struct Request {
    std::uint32_t id = 0;
    std::any message;
    bool done = false;
};

struct Facility {
    std::mutex mutex;
    std::condition_variable changed;  // a request finished, a slot changed, a request was queued
    Slot slots[SafeSync::kSlotCount];
    std::uint32_t nextId = 1;
    std::deque<std::shared_ptr<Request>> queue;
    std::function<void()> waker;
    std::function<void(std::exception_ptr)> errorHandler;
    std::optional<std::thread::id> mainThread;

    Slot* Find(std::uint32_t id) {
        if (id == 0) return nullptr;
        for (auto& s : slots) {
            if (s.used && s.id == id) return &s;
        }
        return nullptr;
    }
    bool Live(std::uint32_t id) {
        const Slot* s = Find(id);
        return s != nullptr && s->enabled;
    }
    // Drops the queued requests of a slot; their callers see them as finished.
    void DropRequests(std::uint32_t id) {
        for (auto it = queue.begin(); it != queue.end();) {
            if ((*it)->id == id) {
                (*it)->done = true;
                it = queue.erase(it);
            } else {
                ++it;
            }
        }
    }
    bool OnMainThread() { return !mainThread || *mainThread == std::this_thread::get_id(); }
};

// Made once and never destroyed, so that no thread finds it gone at program exit.
Facility& TheFacility() {
    static Facility* facility = new Facility;
    return *facility;
}

// Runs one request on the calling (main) thread.
void Run(Request& request, std::exception_ptr& firstError) {
    Facility& f = TheFacility();
    SafeSync::Handler handler = nullptr;
    void* owner = nullptr;
    {
        std::lock_guard lock(f.mutex);
        if (const Slot* s = f.Find(request.id); s != nullptr && s->enabled) {
            handler = s->handler;
            owner = s->owner;
        }
    }
    std::exception_ptr error;
    if (handler != nullptr) {
        try {
            handler(owner, request.message);
        } catch (...) {
            error = std::current_exception();
        }
    }
    std::function<void(std::exception_ptr)> onError;
    {
        std::lock_guard lock(f.mutex);
        request.done = true;
        onError = f.errorHandler;
    }
    f.changed.notify_all();
    if (!error) return;
    if (onError) {
        onError(error);
    } else if (!firstError) {
        firstError = error;
    }
}

// Runs at most `limit` queued requests; returns how many it took.
int Serve(std::size_t limit, std::exception_ptr& firstError) {
    Facility& f = TheFacility();
    int taken = 0;
    for (std::size_t i = 0; i < limit; ++i) {
        std::shared_ptr<Request> request;
        {
            std::lock_guard lock(f.mutex);
            if (f.queue.empty()) break;
            request = f.queue.front();
            f.queue.pop_front();
        }
        ++taken;
        Run(*request, firstError);
    }
    return taken;
}

}  // namespace

std::uint32_t SafeSync::Register(Handler handler, void* owner) {
    Facility& f = TheFacility();
    std::lock_guard lock(f.mutex);
    for (auto& s : f.slots) {
        if (s.used) continue;
        std::uint32_t id = f.nextId;
        // Skip 0 and identifiers still in use (after the counter wrapped).
        while (id == 0 || f.Find(id) != nullptr) ++id;
        f.nextId = id + 1;
        s = Slot{true, false, handler, owner, id};
        return id;
    }
    return 0;
}

void SafeSync::Unregister(std::uint32_t id) {
    Facility& f = TheFacility();
    {
        std::lock_guard lock(f.mutex);
        Slot* s = f.Find(id);
        if (s == nullptr) return;
        *s = Slot{};
        f.DropRequests(id);
    }
    f.changed.notify_all();
}

void SafeSync::Enable(std::uint32_t id, bool on) {
    Facility& f = TheFacility();
    {
        std::lock_guard lock(f.mutex);
        Slot* s = f.Find(id);
        if (s == nullptr) return;
        s->enabled = on;
        if (!on) f.DropRequests(id);
    }
    f.changed.notify_all();
}

bool SafeSync::SyncCall(std::uint32_t id, std::chrono::milliseconds bound, std::any message) {
    Facility& f = TheFacility();
    auto request = std::make_shared<Request>();
    request->id = id;
    request->message = std::move(message);
    std::function<void()> waker;
    bool onMain = false;
    {
        std::lock_guard lock(f.mutex);
        if (!f.Live(id)) return false;
        onMain = f.mainThread && *f.mainThread == std::this_thread::get_id();
        if (!onMain) {
            f.queue.push_back(request);
            waker = f.waker;
        }
    }
    if (onMain) {
        std::exception_ptr error;
        Run(*request, error);
        if (error) std::rethrow_exception(error);
        std::lock_guard lock(f.mutex);
        return f.Live(id);
    }
    f.changed.notify_all();  // a ServeUntil on the main thread takes it from here
    if (waker) waker();
    std::unique_lock lock(f.mutex);
    f.changed.wait_for(lock, bound, [&] { return request->done || !f.Live(id); });
    return f.Live(id);
}

void SafeSync::SetWaker(std::function<void()> waker) {
    Facility& f = TheFacility();
    std::lock_guard lock(f.mutex);
    f.waker = std::move(waker);
    f.mainThread = std::this_thread::get_id();
}

void SafeSync::SetErrorHandler(std::function<void(std::exception_ptr)> handler) {
    Facility& f = TheFacility();
    std::lock_guard lock(f.mutex);
    f.errorHandler = std::move(handler);
}

int SafeSync::ServePending() {
    Facility& f = TheFacility();
    std::size_t queued = 0;
    {
        std::lock_guard lock(f.mutex);
        queued = f.queue.size();
    }
    std::exception_ptr error;
    const int taken = Serve(queued, error);
    if (error) std::rethrow_exception(error);
    return taken;
}

void SafeSync::ServeUntil(const std::function<bool()>& done) {
    Facility& f = TheFacility();
    std::exception_ptr error;
    bool serve = false;
    {
        std::lock_guard lock(f.mutex);
        serve = f.OnMainThread();
    }
    for (;;) {
        if (serve) Serve(SIZE_MAX, error);
        std::unique_lock lock(f.mutex);
        if (done()) break;
        f.changed.wait(lock, [&] { return (serve && !f.queue.empty()) || done(); });
        if (done()) break;
    }
    if (error) std::rethrow_exception(error);
}

void SafeSync::NotifyWaiters() {
    Facility& f = TheFacility();
    { std::lock_guard lock(f.mutex); }
    f.changed.notify_all();
}

void SafeSync::SetNextIdentifier(std::uint32_t id) {
    Facility& f = TheFacility();
    std::lock_guard lock(f.mutex);
    f.nextId = id;
}

void UseMainLoopForSafeSync(MainLoop& loop) {
    SafeSync::SetWaker([&loop] { loop.Post([] { SafeSync::ServePending(); }); });
}

}  // namespace lum
