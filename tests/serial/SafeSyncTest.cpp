#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

#include "common/MainLoop.h"
#include "serial/SafeSync.h"

namespace lum {
namespace {

using namespace std::chrono_literals;

// Records what the handler saw.
struct Owner {
    std::vector<int> messages;
    std::vector<std::thread::id> threads;
    bool raise = false;
};

void Handle(void* owner, std::any& message) {
    auto* o = static_cast<Owner*>(owner);
    o->messages.push_back(std::any_cast<int>(message));
    o->threads.push_back(std::this_thread::get_id());
    if (o->raise) throw std::runtime_error("handler failed");
}

class SafeSyncTest : public ::testing::Test {
  protected:
    void SetUp() override {
        UseMainLoopForSafeSync(loop);
        SafeSync::SetErrorHandler(nullptr);
        id = SafeSync::Register(&Handle, &owner);
        ASSERT_NE(id, 0u);
    }
    void TearDown() override {
        SafeSync::Unregister(id);
        SafeSync::SetWaker(nullptr);
        SafeSync::SetErrorHandler(nullptr);
        loop.RunQueued();
    }
    MainLoop loop;
    Owner owner;
    std::uint32_t id = 0;
};

TEST_F(SafeSyncTest, TableHoldsSixtyFourSlots) {
    std::vector<std::uint32_t> ids{id};
    for (;;) {
        const std::uint32_t more = SafeSync::Register(&Handle, &owner);
        if (more == 0) break;
        ids.push_back(more);
        ASSERT_LE(ids.size(), 64u);
    }
    EXPECT_EQ(ids.size(), 64u);
    EXPECT_EQ(std::set<std::uint32_t>(ids.begin(), ids.end()).size(), 64u);
    // A freed slot can be taken again.
    SafeSync::Unregister(ids.back());
    const std::uint32_t again = SafeSync::Register(&Handle, &owner);
    EXPECT_NE(again, 0u);
    ids.back() = again;
    for (std::size_t i = 1; i < ids.size(); ++i) SafeSync::Unregister(ids[i]);
}

TEST_F(SafeSyncTest, IdentifiersSkipZeroAndIdentifiersInUse) {
    SafeSync::SetNextIdentifier(0xFFFFFFFFu);
    const std::uint32_t last = SafeSync::Register(&Handle, &owner);
    const std::uint32_t wrapped = SafeSync::Register(&Handle, &owner);
    EXPECT_EQ(last, 0xFFFFFFFFu);
    EXPECT_EQ(wrapped, 1u == id ? 2u : 1u);  // never 0, never one in use
    SafeSync::SetNextIdentifier(id);
    const std::uint32_t other = SafeSync::Register(&Handle, &owner);
    EXPECT_NE(other, id);
    EXPECT_NE(other, 0u);
    for (auto i : {last, wrapped, other}) SafeSync::Unregister(i);
}

TEST_F(SafeSyncTest, DisabledOrUnknownSlotFailsAtOnce) {
    EXPECT_FALSE(SafeSync::SyncCall(id, 60s, 1));  // registered but not enabled
    EXPECT_FALSE(SafeSync::SyncCall(0xDEADBEEF, 60s, 2));
    loop.RunFor(50ms);
    EXPECT_TRUE(owner.messages.empty());
}

TEST_F(SafeSyncTest, WorkerCallRunsOnMainThreadAndWaitsForIt) {
    SafeSync::Enable(id, true);
    std::atomic<bool> returned{false};
    std::thread worker([&] {
        EXPECT_TRUE(SafeSync::SyncCall(id, 60s, 42));
        // The handler has run by now.
        EXPECT_EQ(owner.messages.size(), 1u);
        returned = true;
    });
    // The flag is set after the delivery, on the worker: look at it between short runs of the loop.
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!returned && std::chrono::steady_clock::now() < deadline) loop.RunPending(10ms);
    EXPECT_TRUE(returned);
    worker.join();
    ASSERT_EQ(owner.messages, std::vector<int>{42});
    EXPECT_EQ(owner.threads[0], std::this_thread::get_id());
}

TEST_F(SafeSyncTest, BoundRunsOutThenRequestStillRunsLater) {
    SafeSync::Enable(id, true);
    const auto start = std::chrono::steady_clock::now();
    bool result = false;
    std::thread worker([&] { result = SafeSync::SyncCall(id, 100ms, 7); });
    worker.join();  // the main thread serves nothing meanwhile
    EXPECT_GE(std::chrono::steady_clock::now() - start, 100ms);
    EXPECT_TRUE(result);  // slot still enabled: the call counts as delivered
    EXPECT_TRUE(owner.messages.empty());
    EXPECT_TRUE(loop.RunUntil([&] { return !owner.messages.empty(); }, 10s));
    EXPECT_EQ(owner.messages, std::vector<int>{7});  // its own message, not a later one
}

TEST_F(SafeSyncTest, TurningSlotOffReleasesWaitingCallerAndDropsRequest) {
    SafeSync::Enable(id, true);
    std::atomic<bool> queued{false};
    SafeSync::SetWaker([&] { queued = true; });  // nobody serves
    auto call = std::async(std::launch::async, [&] { return SafeSync::SyncCall(id, 60s, 3); });
    for (int i = 0; i < 10000 && !queued; ++i) std::this_thread::sleep_for(1ms);
    ASSERT_TRUE(queued);
    SafeSync::Enable(id, false);
    ASSERT_EQ(call.wait_for(10s), std::future_status::ready);  // not the 60 s bound
    EXPECT_FALSE(call.get());
    SafeSync::Enable(id, true);  // a later session must not see the old request
    EXPECT_EQ(SafeSync::ServePending(), 0);
    EXPECT_TRUE(owner.messages.empty());
}

TEST_F(SafeSyncTest, ServeUntilRunsRequestsWhileWaitingForAWorker) {
    SafeSync::Enable(id, true);
    SafeSync::SetWaker(nullptr);  // nothing but ServeUntil serves
    std::atomic<bool> ended{false};
    std::thread worker([&] {
        SafeSync::SyncCall(id, 60s, 5);
        ended = true;
        SafeSync::NotifyWaiters();
    });
    SafeSync::ServeUntil([&] { return ended.load(); });
    worker.join();
    EXPECT_EQ(owner.messages, std::vector<int>{5});
}

TEST_F(SafeSyncTest, HandlerErrorGoesToErrorHandlerAndServingGoesOn) {
    SafeSync::Enable(id, true);
    std::vector<std::string> errors;
    SafeSync::SetErrorHandler([&](std::exception_ptr e) {
        try {
            std::rethrow_exception(e);
        } catch (const std::exception& x) {
            errors.push_back(x.what());
        }
    });
    owner.raise = true;
    std::thread worker([&] {
        EXPECT_TRUE(SafeSync::SyncCall(id, 60s, 1));
        EXPECT_TRUE(SafeSync::SyncCall(id, 60s, 2));
    });
    EXPECT_TRUE(loop.RunUntil([&] { return owner.messages.size() == 2; }, 10s));
    worker.join();
    EXPECT_EQ(errors, (std::vector<std::string>{"handler failed", "handler failed"}));
}

TEST_F(SafeSyncTest, WithoutErrorHandlerServePendingRaisesAfterServing) {
    SafeSync::Enable(id, true);
    SafeSync::SetWaker(nullptr);
    owner.raise = true;
    std::thread a([&] { SafeSync::SyncCall(id, 200ms, 1); });
    std::thread b([&] { SafeSync::SyncCall(id, 200ms, 2); });
    a.join();
    b.join();
    EXPECT_THROW(SafeSync::ServePending(), std::runtime_error);
    EXPECT_EQ(owner.messages.size(), 2u);  // the second ran although the first raised
}

TEST_F(SafeSyncTest, CallOnMainThreadRunsDirectly) {
    SafeSync::Enable(id, true);
    EXPECT_TRUE(SafeSync::SyncCall(id, 60s, 11));
    EXPECT_EQ(owner.messages, std::vector<int>{11});
    EXPECT_EQ(loop.RunQueued(), 0);
}

}  // namespace
}  // namespace lum
